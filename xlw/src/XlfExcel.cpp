#include "xlw/XlfExcel.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "xlw/Platform.h"
#include "xlw/XlfException.h"

namespace xlw {

using namespace sdk;

XlfExcel* XlfExcel::instance_ = nullptr;

namespace {

// Call-back bindings, process-wide.
Excel4Fn excel4 = nullptr;
Excel4vFn excel4v = nullptr;
MdCallBack12Fn mdCallBack12 = nullptr;
bool mdCallBack12Looked = false;

MdCallBack12Fn CallBack12() {
  if (!mdCallBack12Looked) {
    mdCallBack12 = reinterpret_cast<MdCallBack12Fn>(platform::ProcessSymbol("MdCallBack12"));
    mdCallBack12Looked = true;
  }
  return mdCallBack12;
}

// Results that Excel allocated must go back to Excel through xlFree.
template <class Cell>
void MarkExcelOwned(Cell* result) {
  if (!result) return;
  const int kind = result->xltype & xltypeKindMask;
  const bool owned = kind == xltypeStr || kind == xltypeBigData || kind == xltypeMulti ||
                     (kind == xltypeRef && result->val.mref.lpmref != nullptr);
  if (owned) result->xltype |= xlbitXLFree;
}

}  // namespace

XlfExcel& XlfExcel::Instance() {
  if (!instance_) {
    auto* session = new XlfExcel;
    instance_ = session;  // calls made while starting find the session
    try {
      session->Start();
    } catch (...) {
      instance_ = nullptr;  // a later call tries again
      delete session;
      throw;
    }
  }
  return *instance_;
}

void XlfExcel::DeleteInstance() {
  delete instance_;
  instance_ = nullptr;
}

bool XlfExcel::HasInstance() { return instance_ != nullptr; }

void XlfExcel::Start() {
  implementation_ = platform::LoadLibraryByName("XLCALL32.DLL");
  if (!implementation_) XLW_THROW("Could not load library XLCALL32.DLL");
  excel4 = reinterpret_cast<Excel4Fn>(platform::LibrarySymbol(implementation_, "Excel4"));
  if (!excel4) XLW_THROW("Could not get address of Excel4 callback");
  excel4v = reinterpret_cast<Excel4vFn>(platform::LibrarySymbol(implementation_, "Excel4v"));
  if (!excel4v) XLW_THROW("Could not get address of Excel4v callback");

  // Excel's version, asked in the 97 layout that every Excel understands.
  xloper workspace{}, two{}, asInt{}, version{};
  two.xltype = xltypeInt;
  two.val.w = 2;
  asInt.xltype = xltypeInt;
  asInt.val.w = xltypeInt;
  workspace.xltype = xltypeMissing;
  excel4(xlfGetWorkspace, &workspace, 1, &two);
  const int coerced = excel4(xlCoerce, &version, 2, &workspace, &asInt);
  if (coerced == xlretSuccess && version.xltype == xltypeInt) {
    version_ = version.val.w;
  } else if ((workspace.xltype & xltypeKindMask) == xltypeStr && workspace.val.str) {
    const std::size_t n = static_cast<unsigned char>(workspace.val.str[0]);
    version_ = std::atoi(std::string(workspace.val.str + 1, n).c_str());
  } else {
    version_ = 10;
  }
  excel4(xlFree, nullptr, 1, &workspace);

  impl::Activate(excel12());
  if (excel12()) {
    operType_ = "Q", xloperType_ = "U", wideType_ = "C%", fpType_ = "K%";
  } else {
    operType_ = "P", xloperType_ = "R", wideType_ = "C", fpType_ = "K";
  }

  XlfOper name;  // kind missing
  if (Call(xlGetName, name.GetLPXLFOPER()) != xlretSuccess || name.Kind() != xltypeStr)
    XLW_REPORT("Could not get DLL name");
  else
    name_ = name.Text();
  FindHelpFile();
  mainThread_ = platform::CurrentThreadId();
}

void XlfExcel::FindHelpFile() {
  // x.xll looks for x.chm beside it, then one directory up.
  const std::size_t n = name_.size();
  if (n <= 4 || name_[n - 4] != '.') return;
  const std::string beside = name_.substr(0, n - 3) + "chm";
  if (platform::FileAttributes(beside.c_str()) == platform::FileKind::File) {
    helpName_ = beside;
    return;
  }
  const std::size_t cut = beside.find_last_of("\\/");
  if (cut == std::string::npos) return;
  const std::string up = beside.substr(0, cut) + "\\.." + beside.substr(cut);
  if (platform::FileAttributes(up.c_str()) == platform::FileKind::File) helpName_ = up;
}

int XlfExcel::Call(int xlfn, LPXLFOPER result, int count, LPXLFOPER* args) const {
  if (excel12())
    return Call12v(xlfn, static_cast<LPXLOPER12>(result), count, reinterpret_cast<LPXLOPER12*>(args));
  return Call4v(xlfn, static_cast<LPXLOPER>(result), count, reinterpret_cast<LPXLOPER*>(args));
}

int XlfExcel::Call(int xlfn, LPXLFOPER result, XlfOper& a) const {
  LPXLFOPER args[] = {a.DetachFromExcel().GetLPXLFOPER()};
  return Call(xlfn, result, 1, args);
}

int XlfExcel::Call(int xlfn, LPXLFOPER result, XlfOper& a, XlfOper& b) const {
  LPXLFOPER args[] = {a.DetachFromExcel().GetLPXLFOPER(), b.DetachFromExcel().GetLPXLFOPER()};
  return Call(xlfn, result, 2, args);
}

int XlfExcel::Call(int xlfn, LPXLFOPER result, XlfOper& a, XlfOper& b, XlfOper& c) const {
  LPXLFOPER args[] = {a.DetachFromExcel().GetLPXLFOPER(), b.DetachFromExcel().GetLPXLFOPER(),
                      c.DetachFromExcel().GetLPXLFOPER()};
  return Call(xlfn, result, 3, args);
}

int XlfExcel::Call4v(int xlfn, LPXLOPER result, int count, LPXLOPER* args) const {
  // English function and argument texts whatever Excel's language.
  const int code = excel4v(xlfn | xlIntl, result, count, args);
  MarkExcelOwned(result);
  return code;
}

int XlfExcel::Call12v(int xlfn, LPXLOPER12 result, int count, LPXLOPER12* args) const {
  MdCallBack12Fn callBack = CallBack12();
  if (!callBack) return xlretFailed;
  const int code = callBack(xlfn | xlIntl, count, args, result);
  MarkExcelOwned(result);
  return code;
}

bool XlfExcel::IsCalledByFuncWizard() const {
  // The wizard is a "bosa_sdm_XL" window of Excel's main thread; the
  // find/replace and paste dialogs share the class and are told apart by title.
  static const char kClass[] = "bosa_sdm_XL";
  const std::size_t classLength = sizeof kClass - 1;
  bool wizard = false;
  platform::EnumThreadWindows(mainThread_, [&](const platform::WindowInfo& w) {
    const std::size_t n = w.className.size() > classLength ? classLength : w.className.size();
    if (!platform::EqualIgnoringCase(w.className.c_str(), n, kClass, classLength)) return true;
    if (w.title.empty()) return true;
    wizard = w.title.find("Replace") == std::string::npos && w.title.find("Paste") == std::string::npos;
    return false;
  });
  return wizard;
}

}  // namespace xlw

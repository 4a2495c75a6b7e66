#include "xlw/XlfFuncDesc.h"

#include "xlw/TempMemory.h"
#include "xlw/XlfExcel.h"

namespace xlw {

using namespace sdk;

namespace {

// xlfRegister's arguments are Excel 97 cells whatever the version.
LPXLOPER Text97(const std::string& s) {
  auto* cell = TempMemory::GetMemory<xloper>(1);
  cell->val.str = PascalStringConversions::NarrowToPascal(s.data(), s.size());
  cell->xltype = xltypeStr;
  return cell;
}

LPXLOPER Number97(double v) {
  auto* cell = TempMemory::GetMemory<xloper>(1);
  cell->val.num = v;
  cell->xltype = xltypeNum;
  return cell;
}

}  // namespace

XlfFuncDesc::XlfFuncDesc(const std::string& name, const std::string& alias, const std::string& comment,
                         const std::string& category, bool isVolatile, bool threadSafe,
                         const std::string& returnType, const std::string& helpId, bool asynchronous,
                         bool macroSheetEquivalent, bool clusterSafe)
    : XlfAbstractCmdDesc(name, alias, comment),
      helpId_(helpId),
      returnType_(returnType),
      impl_(std::make_shared<XlfFuncDescImpl>()) {
  impl_->recalcPolicy = isVolatile ? 1 : 0;
  impl_->category = category;
  impl_->threadSafe = threadSafe;
  impl_->asynchronous = asynchronous;
  impl_->macroSheetEquivalent = macroSheetEquivalent;
  impl_->clusterSafe = clusterSafe;
}

int XlfFuncDesc::RegisterWithExcel(const std::string& dllName, const std::string& suggestedHelpId) {
  const XlfExcel& excel = XlfExcel::Instance();
  const int version = excel.ExcelVersion();
  const bool async = impl_->asynchronous && version > 13;

  if (returnType_.empty())
    returnType_ = excel.xlfOperType();
  else if (returnType_ == "XLW_FP")
    returnType_ = excel.fpType();

  std::string typeText = async ? ">" : returnType_;
  std::string argumentText;
  const XlfArgDescList& args = GetArguments();
  for (std::size_t i = 0; i < args.size(); ++i) {
    typeText += args[i].GetTypeCode();
    if (i) argumentText += ", ";
    argumentText += args[i].GetName();
  }
  if (argumentText.size() >= 256) argumentText = "Too many arguments for Function Wizard";
  if (async) typeText += "X";
  if (impl_->recalcPolicy == 1) typeText += "!";
  if (impl_->threadSafe && version > 11) typeText += "$";
  if (impl_->clusterSafe && version > 13) typeText += "&";
  if (impl_->macroSheetEquivalent) typeText += "#";
  typeText += '\0';  // part of the registered text

  const std::string helpTopic = (!helpId_.empty() && helpId_ != "auto") ? helpId_ : suggestedHelpId;
  std::vector<LPXLOPER> cells = {
      Text97(dllName),
      Text97(async ? GetName() + "Sync" : GetName()),
      Text97(typeText),
      Text97(GetAlias()),
      Text97(argumentText),
      Number97(1),  // a worksheet function
      Text97(impl_->category),
      Text97(""),
      Text97(helpTopic),
      Text97(GetComment()),
  };
  for (std::size_t i = 0; i < args.size(); ++i)
    cells.push_back(Text97(i + 1 == args.size() ? args[i].GetComment() + ". " : args[i].GetComment()));

  const std::size_t limit = version < 12 ? 20 : 245;
  const std::size_t passed = 10 + (args.size() < limit ? args.size() : limit);
  auto* result = TempMemory::GetMemory<xloper>(1);
  result->xltype = xltypeMissing;
  const int code = excel.Call4v(xlfRegister, result, static_cast<int>(passed), cells.data());
  registrationId_ = (code == 0 && (result->xltype & xltypeKindMask) == xltypeNum) ? result->val.num : -1.0;
  if (result->xltype & xlbitXLFree) {
    result->xltype &= ~xlbitXLFree;
    LPXLOPER freed[] = {result};
    excel.Call4v(xlFree, nullptr, 1, freed);
  }
  return code;
}

int XlfFuncDesc::UnregisterFromExcel(const std::string&) {
  if (registrationId_ == -1.0) return 0;
  const XlfExcel& excel = XlfExcel::Instance();
  {
    XlfOper name(GetAlias()), result;
    excel.Call(xlfSetName, result.GetLPXLFOPER(), name);  // deletes the name
  }
  XlfOper id(registrationId_), result;
  return excel.Call(xlfUnregister, result.GetLPXLFOPER(), id);
}

void XlfFuncDesc::WriteDoc(std::ostream& out) const {
  const XlfArgDescList& args = GetArguments();
  out << "<introduction>\n";
  out << "<para>" << GetComment() << "</para>\n";
  out << "<code>=" << GetAlias() << "(";
  for (std::size_t i = 0; i < args.size(); ++i) out << (i ? ", " : "") << args[i].GetName();
  out << ")</code>\n";
  out << "</introduction>\n";
  out << "<section>\n";
  out << "  <title>Parameters</title>\n";
  out << "  <content>\n";
  for (const XlfArgDesc& a : args) out << "    <para>" << a.GetName() << ": " << a.GetComment() << "</para>\n";
  out << "  </content>\n";
  out << "</section>\n";
}

}  // namespace xlw

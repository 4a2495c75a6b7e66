#pragma once
// The Excel session: binds the call-backs, learns Excel's version (and with it
// the cell layout and the registration type codes), knows the add-in's file
// and help file, and performs every call-back.
#include <string>

#include "xlw/Platform.h"
#include "xlw/XlfOper.h"
#include "xlw/xlcall.h"

namespace xlw {

class XlfExcel {
 public:
  static XlfExcel& Instance();  // starts the session on first use
  static void DeleteInstance();
  static bool HasInstance();

  // Function number f is sent with the international flag; the active
  // layout's call-back is used. Excel-allocated results get xlbitXLFree.
  int Call(int xlfn, LPXLFOPER result, int count, LPXLFOPER* args) const;
  int Call(int xlfn, LPXLFOPER result) const { return Call(xlfn, result, 0, nullptr); }
  int Call(int xlfn, LPXLFOPER result, XlfOper& a) const;
  int Call(int xlfn, LPXLFOPER result, XlfOper& a, XlfOper& b) const;
  int Call(int xlfn, LPXLFOPER result, XlfOper& a, XlfOper& b, XlfOper& c) const;
  // Fixed-layout forms: always Excel4v, always MdCallBack12.
  int Call4v(int xlfn, sdk::LPXLOPER result, int count, sdk::LPXLOPER* args) const;
  int Call12v(int xlfn, sdk::LPXLOPER12 result, int count, sdk::LPXLOPER12* args) const;

  int ExcelVersion() const { return version_; }
  bool excel12() const { return version_ > 11; }
  const std::string& xlfOperType() const { return operType_; }     // "P" or "Q"
  const std::string& xlfXloperType() const { return xloperType_; } // "R" or "U"
  const std::string& wStrType() const { return wideType_; }        // "C" or "C%"
  const std::string& fpType() const { return fpType_; }            // "K" or "K%"
  const std::string& GetName() const { return name_; }
  const std::string& GetHelpName() const { return helpName_; }
  platform::ThreadId MainThread() const { return mainThread_; }

  // True while Excel's function wizard (not a find/replace dialog) is open.
  bool IsCalledByFuncWizard() const;

  XlfExcel(const XlfExcel&) = delete;
  XlfExcel& operator=(const XlfExcel&) = delete;

 private:
  XlfExcel() = default;
  void Start();
  void FindHelpFile();

  void* implementation_ = nullptr;  // XLCALL32.DLL, never unloaded
  int version_ = 0;
  std::string operType_, xloperType_, wideType_, fpType_;
  std::string name_;
  std::string helpName_;
  platform::ThreadId mainThread_ = 0;

  static XlfExcel* instance_;
};

}  // namespace xlw

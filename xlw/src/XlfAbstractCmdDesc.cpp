#include "xlw/XlfAbstractCmdDesc.h"

#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace xlw {

XlfAbstractCmdDesc::XlfAbstractCmdDesc(const std::string& name, const std::string& alias,
                                       const std::string& comment)
    : name_(name), alias_(alias), comment_(comment) {}

void XlfAbstractCmdDesc::Register(int index) {
  const XlfExcel& excel = XlfExcel::Instance();
  const std::string& dll = excel.GetName();
  if (dll.empty()) XLW_THROW("Could not get library name");
  const std::string suggested = excel.GetHelpName().empty() ? "" : excel.GetHelpName() + "!" + std::to_string(index);
  const int code = RegisterWithExcel(dll, suggested);
  if (code != 0) XLW_REPORT("Error " + std::to_string(code) + " while registering " + alias_);
}

void XlfAbstractCmdDesc::Unregister() {
  const std::string& dll = XlfExcel::Instance().GetName();
  if (dll.empty()) XLW_THROW("Could not get library name");
  const int code = UnregisterFromExcel(dll);
  if (code != 0) XLW_REPORT("Error " + std::to_string(code) + " while registering " + alias_);
}

}  // namespace xlw

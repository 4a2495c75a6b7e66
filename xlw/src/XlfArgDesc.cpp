#include "xlw/XlfArgDesc.h"

#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace xlw {

XlfArgDesc::XlfArgDesc(const std::string& name, const std::string& comment, const std::string& type)
    : name_(name), comment_(comment), type_(type) {
  if (name.size() >= 19)
    XLW_REPORT("Argument name \"" + name + "\" may be too long to fit the in the function wizard");
}

std::string XlfArgDesc::GetTypeCode() const {
  const XlfExcel& excel = XlfExcel::Instance();
  if (type_ == "XLF_OPER") return excel.xlfOperType();
  if (type_ == "XLF_XLOPER") return excel.xlfXloperType();
  if (type_ == "XLW_WSTR") return excel.wStrType();
  if (type_ == "XLW_FP") return excel.fpType();
  return type_;
}

}  // namespace xlw

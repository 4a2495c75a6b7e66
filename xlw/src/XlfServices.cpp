#include "xlw/XlfServices.h"

#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace xlw::XlfServices {
namespace {

void StatusBarCall(const char* what, XlfOper& a, XlfOper& b) {
  XlfOper result;
  const int code = XlfExcel::Instance().Call(sdk::xlcMessage, result.GetLPXLFOPER(), a, b);
  if (code != sdk::xlretSuccess) XLW_THROW(std::string(what) + " failed with result code " + std::to_string(code));
}

}  // namespace

void SetStatusBar(const std::string& text) {
  XlfOper show(true), message(text);
  StatusBarCall("Set Status Bar", show, message);
}

void ClearStatusBar() {
  XlfOper zero(0.0), hide(false);
  // Excel's reset takes the integer 0.
  impl::Active().SetInt(zero.GetLPXLFOPER(), 0);
  StatusBarCall("Clear Status Bar", zero, hide);
}

}  // namespace xlw::XlfServices

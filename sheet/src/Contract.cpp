#include "sheet/Contract.h"

#include <string>

#include "xlw/CellMatrix.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace sheet {

std::vector<double> Column(LPXLFOPER cell, const char* name) {
  return xlw::XlfOper(cell).ToDoubleVector(name, xlw::DoubleVectorConvPolicy::OneDimOnly);
}

bool Flag(LPXLFOPER cell, const char* name) { return xlw::XlfOper(cell).ToBool(name); }

xlw::XlfOper Result(double value) { return xlw::XlfOper(value); }
xlw::XlfOper Result(const std::vector<double>& column) { return xlw::XlfOper(column); }

namespace detail {

bool WizardIsOpen() { return xlw::XlfExcel::Instance().IsCalledByFuncWizard(); }

LPXLFOPER Return(xlw::XlfOper&& value) { return value.DetachFromExcel().GetLPXLFOPER(); }

namespace {
LPXLFOPER Text(const std::string& text) noexcept {
  try {
    return Return(xlw::XlfOper(text));
  } catch (...) {
    return nullptr;
  }
}
}  // namespace

LPXLFOPER FromCurrentException() noexcept {
  try {
    throw;
  } catch (const xlw::XlfException&) {
    return nullptr;  // Excel's abort, stack overflow or uncalculated cell
  } catch (const std::exception& e) {
    return Text(e.what());
  } catch (const std::string& s) {
    return Text(s);
  } catch (const char* s) {
    return Text(s ? s : "");
  } catch (const xlw::CellMatrix& m) {
    try {
      return Return(xlw::XlfOper(m));
    } catch (...) {
      return nullptr;
    }
  } catch (...) {
    try {
      return Return(xlw::XlfOper::Error(xlw::sdk::xlerrValue));
    } catch (...) {
      return nullptr;
    }
  }
}

}  // namespace detail

Entry::Entry(const char* category, const char* procedure, const char* name, const char* help,
             std::initializer_list<Arg> args) {
  xlw::XLRegistration::FunctionRegistration record;
  record.functionName = procedure;
  record.excelName = name;
  record.help = help;
  record.category = category;
  record.arguments = args.begin();
  record.argumentCount = static_cast<int>(args.size());
  xlw::XLRegistration::ExcelFunctionRegistrationRegistry::Instance().AddFunctionRecord(record);
}

}  // namespace sheet

#include "excel/Call.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "xlw/CellMatrix.h"
#include "xlw/Registry.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace excel {
namespace detail {

sheet::Argument Convert(const sheet::Parameter& parameter, double value) {
  if (parameter.kind != sheet::Kind::Number)
    throw std::logic_error(std::string(parameter.name) + " is registered as a cell");
  return value;
}

sheet::Argument Convert(const sheet::Parameter& parameter, LPXLFOPER cell) {
  if (parameter.kind == sheet::Kind::Number)
    throw std::logic_error(std::string(parameter.name) + " is registered as a number");
  return sheet::Convert(parameter, OperCell(cell));
}

xlw::XlfOper ToCell(sheet::Result&& result) {
  if (auto* number = std::get_if<double>(&result)) return xlw::XlfOper(*number);
  if (auto* column = std::get_if<std::vector<double>>(&result)) return xlw::XlfOper(*column);
  return xlw::XlfOper(std::get<std::string>(result));
}

bool WizardIsOpen() { return xlw::XlfExcel::Instance().IsCalledByFuncWizard(); }

LPXLFOPER Return(xlw::XlfOper&& value) { return value.DetachFromExcel().GetLPXLFOPER(); }

LPXLFOPER FromCurrentException() noexcept {
  try {
    try {
      throw;
    } catch (const xlw::XlfException&) {
      return nullptr;  // Excel's abort, stack overflow or uncalculated cell
    } catch (const xlw::CellMatrix& m) {
      return Return(xlw::XlfOper(m));
    } catch (...) {
      return Return(xlw::XlfOper(sheet::FailureText()));
    }
  } catch (...) {
    return nullptr;  // no memory left for the value
  }
}

}  // namespace detail

const sheet::Function& Declared(const sheet::Table& table, std::size_t index, const char* procedure) {
  const sheet::Function& f = table.functions.at(index);
  if (std::strcmp(f.procedure, procedure) != 0)
    throw std::logic_error(std::string(procedure) + " is out of step with the declarations: generate it again");
  return f;
}

Registration::Registration(const sheet::Table& table) {
  using xlw::XLRegistration::Arg;
  for (const sheet::Function& f : table.functions) {
    std::vector<Arg> args;
    for (const sheet::Parameter& p : f.parameters)
      args.push_back({p.name, p.help, p.kind == sheet::Kind::Number ? "B" : "XLF_OPER"});
    xlw::XLRegistration::FunctionRegistration record;
    record.functionName = f.procedure;
    record.excelName = f.name;
    record.help = f.help;
    record.category = table.category;
    record.arguments = args.data();
    record.argumentCount = static_cast<int>(args.size());
    record.appended = f.added;
    xlw::XLRegistration::ExcelFunctionRegistrationRegistry::Instance().AddFunctionRecord(record);
  }
}

}  // namespace excel

#include "sheet/Contract.h"

#include <stdexcept>
#include <string>

#include "xlw/CellMatrix.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace sheet {

std::vector<double> Column(LPXLFOPER cell, const char* name) {
  return xlw::XlfOper(cell).ToDoubleVector(name, xlw::DoubleVectorConvPolicy::OneDimOnly);
}

bool Flag(LPXLFOPER cell, const char* name) { return xlw::XlfOper(cell).ToBool(name); }


namespace detail {

Argument Convert(const Parameter& parameter, double value) {
  if (parameter.kind != Kind::Number) throw std::logic_error(std::string(parameter.name) + " is registered as a cell");
  return value;
}

Argument Convert(const Parameter& parameter, LPXLFOPER cell) {
  switch (parameter.kind) {
    case Kind::Column:
      return Column(cell, parameter.name);
    case Kind::Flag:
      return Flag(cell, parameter.name);
    case Kind::OptionalFlag: {
      const int kind = xlw::XlfOper(cell).Kind();
      if (kind == xlw::sdk::xltypeMissing || kind == xlw::sdk::xltypeNil) return std::monostate{};
      return Flag(cell, parameter.name);
    }
    case Kind::Text:
      return std::string(xlw::XlfOper(cell).ToText(parameter.name));
    case Kind::Number:
      break;
  }
  throw std::logic_error(std::string(parameter.name) + " is registered as a number");
}

xlw::XlfOper ToCell(Result&& result) {
  if (auto* number = std::get_if<double>(&result)) return xlw::XlfOper(*number);
  if (auto* column = std::get_if<std::vector<double>>(&result)) return xlw::XlfOper(*column);
  return xlw::XlfOper(std::get<std::string>(result));
}

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

Registration::Registration(const Table& table) {
  for (const Function& f : table.functions) {
    std::vector<Arg> args;
    for (const Parameter& p : f.parameters) args.push_back({p.name, p.help, p.kind == Kind::Number ? kNumber : kCell});
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

}  // namespace sheet

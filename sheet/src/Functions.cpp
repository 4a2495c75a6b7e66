#include "sheet/Functions.h"

#include <stdexcept>

namespace sheet {
namespace {

// A host that hands over an argument of the wrong kind has a table out of step
// with its entry points: a programming error, never the user's input.
template <class T>
const T& As(const std::vector<Argument>& values, std::size_t i, const char* kind) {
  const T* value = std::get_if<T>(&values.at(i));
  if (!value) throw std::logic_error(std::string("argument ") + std::to_string(i + 1) + " is not a " + kind);
  return *value;
}

}  // namespace

double Arguments::Number(std::size_t i) const { return As<double>(values_, i, "number"); }

std::vector<double> Arguments::TakeColumn(std::size_t i) {
  As<std::vector<double>>(values_, i, "column");
  return std::move(std::get<std::vector<double>>(values_[i]));
}

bool Arguments::Flag(std::size_t i) const { return As<bool>(values_, i, "flag"); }

std::optional<bool> Arguments::OptionalFlag(std::size_t i) const {
  if (std::holds_alternative<std::monostate>(values_.at(i))) return std::nullopt;
  return Flag(i);
}

const std::string& Arguments::Text(std::size_t i) const { return As<std::string>(values_, i, "text"); }

const Function& Table::Find(const std::string& name) const {
  for (const Function& f : functions)
    if (name == f.name) return f;
  throw std::out_of_range(name + " is not a function of " + addin);
}

}  // namespace sheet

#include "calc/Convert.h"

#include <mutex>
#include <string>
#include <vector>

#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/Sequence.hxx>

namespace calc {

namespace uno = css::uno;
using rtl::OUString;
using sheet::CellKind;
using RowsOfAny = uno::Sequence<uno::Sequence<uno::Any>>;

namespace {

bool IsRows(const uno::Any& value) { return value.getValueType() == cppu::UnoType<RowsOfAny>::get(); }

const RowsOfAny& RowsOf(const uno::Any& value) { return *static_cast<const RowsOfAny*>(value.getValue()); }

std::mutex& CallLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

CellKind AnyCell::Kind() const {
  if (!value_.hasValue()) return inRange_ ? CellKind::Error : CellKind::Missing;  // an error cell, were one passed
  if (IsRows(value_)) return CellKind::Array;
  double d = 0;
  if (value_ >>= d) return CellKind::Number;
  bool b = false;
  if (value_ >>= b) return CellKind::Boolean;
  OUString s;
  if (value_ >>= s) return s.isEmpty() && inRange_ ? CellKind::Empty : CellKind::Text;
  return CellKind::Other;
}

double AnyCell::Number() const {
  double d = 0;
  value_ >>= d;
  return d;
}

bool AnyCell::Boolean() const {
  bool b = false;
  value_ >>= b;
  return b;
}

std::string AnyCell::Text() const {
  OUString s;
  value_ >>= s;
  return OUStringToOString(s, RTL_TEXTENCODING_UTF8).getStr();
}

// A ragged range, which Calc never sends, counts as no column.
std::size_t AnyCell::Rows() const { return IsRows(value_) ? static_cast<std::size_t>(RowsOf(value_).getLength()) : 0; }

std::size_t AnyCell::Columns() const {
  if (!IsRows(value_) || RowsOf(value_).getLength() == 0) return 0;
  const RowsOfAny& rows = RowsOf(value_);
  const sal_Int32 width = rows[0].getLength();
  for (const auto& row : rows)
    if (row.getLength() != width) return 0;
  return static_cast<std::size_t>(width);
}

void AnyCell::EachCell(const std::function<void(const sheet::Cell&)>& visit) const {
  if (!IsRows(value_)) return;
  for (const auto& row : RowsOf(value_))
    for (const auto& cell : row) visit(AnyCell(cell, true));
}

bool AnyCell::AllNumbers(std::vector<double>& out) const {
  if (!IsRows(value_)) return false;
  std::vector<double> column;
  for (const auto& row : RowsOf(value_))
    for (const auto& cell : row) {
      double d = 0;
      if (!(cell >>= d)) return false;  // a boolean or a text: cell by cell
      column.push_back(d);
    }
  out = std::move(column);
  return true;
}

const char* AnyCell::Coerce(CellKind target, sheet::Value& out) const {
  return sheet::PlainCoercion(*this, target, out);
}

uno::Any ToAny(const sheet::Result& result) {
  if (const auto* number = std::get_if<double>(&result)) return uno::Any(*number);
  if (const auto* column = std::get_if<std::vector<double>>(&result)) {
    if (column->empty()) return uno::Any();  // no value, as Excel's empty array
    uno::Sequence<uno::Sequence<double>> rows(static_cast<sal_Int32>(column->size()));
    auto* row = rows.getArray();
    for (double d : *column) *row++ = uno::Sequence<double>(&d, 1);
    return uno::Any(rows);
  }
  const std::string& text = std::get<std::string>(result);
  return uno::Any(OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8));
}

uno::Any Call(const sheet::Function& function, const uno::Any* const* args, std::size_t count) {
  std::lock_guard<std::mutex> serial(CallLock());
  try {
    std::vector<AnyCell> cells;
    cells.reserve(count);
    for (std::size_t i = 0; i < count; ++i) cells.emplace_back(*args[i]);
    std::vector<const sheet::Cell*> pointers;
    for (const AnyCell& c : cells) pointers.push_back(&c);
    sheet::Arguments arguments = sheet::ConvertAll(function, pointers.data(), count);
    return ToAny(function.run(arguments));
  } catch (const sheet::NotANumber&) {
    throw uno::RuntimeException("#VALUE!");
  } catch (...) {
    return ToAny(sheet::Result(sheet::FailureText()));
  }
}

}  // namespace calc

#pragma once
// A table of heterogeneous cells that a routine may throw to have it shown
// as an array in the worksheet.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "xlw/PascalStringConversions.h"

namespace xlw {

class CellValue {
 public:
  enum class Kind { Empty, Number, String, WideString, Boolean, Error };

  CellValue() = default;
  CellValue(double v) : kind_(Kind::Number), number_(v) {}
  CellValue(const char* s) : kind_(Kind::String), text_(s) {}
  CellValue(std::string s) : kind_(Kind::String), text_(std::move(s)) {}
  CellValue(xlw::WideString s) : kind_(Kind::WideString), wide_(std::move(s)) {}
  CellValue(bool b) : kind_(Kind::Boolean), boolean_(b) {}
  static CellValue Error(int code) {
    CellValue c;
    c.kind_ = Kind::Error;
    c.error_ = code;
    return c;
  }

  bool IsNumber() const { return kind_ == Kind::Number; }
  bool IsString() const { return kind_ == Kind::String; }
  bool IsWideString() const { return kind_ == Kind::WideString; }
  bool IsBoolean() const { return kind_ == Kind::Boolean; }
  bool IsError() const { return kind_ == Kind::Error; }
  bool IsEmpty() const { return kind_ == Kind::Empty; }

  double NumericValue() const { return number_; }
  const std::string& StringValue() const { return text_; }
  const xlw::WideString& WideStringValue() const { return wide_; }
  bool BooleanValue() const { return boolean_; }
  int ErrorValue() const { return error_; }

 private:
  Kind kind_ = Kind::Empty;
  double number_ = 0;
  std::string text_;
  xlw::WideString wide_;
  bool boolean_ = false;
  int error_ = 0;
};

class CellMatrixImpl {
 public:
  virtual ~CellMatrixImpl() = default;
  virtual std::size_t RowsInStructure() const = 0;
  virtual std::size_t ColumnsInStructure() const = 0;
  virtual const CellValue& At(std::size_t row, std::size_t column) const = 0;
  virtual CellValue& At(std::size_t row, std::size_t column) = 0;
};

class CellMatrix {
 public:
  CellMatrix(std::size_t rows, std::size_t columns);
  std::size_t RowsInStructure() const { return impl_->RowsInStructure(); }
  std::size_t ColumnsInStructure() const { return impl_->ColumnsInStructure(); }
  const CellValue& operator()(std::size_t row, std::size_t column) const { return impl_->At(row, column); }
  CellValue& operator()(std::size_t row, std::size_t column) { return impl_->At(row, column); }

 private:
  std::shared_ptr<CellMatrixImpl> impl_;
};

}  // namespace xlw

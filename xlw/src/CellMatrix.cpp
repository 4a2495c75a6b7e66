#include "xlw/CellMatrix.h"

namespace xlw {
namespace {

class VectorCellMatrix final : public CellMatrixImpl {
 public:
  VectorCellMatrix(std::size_t rows, std::size_t columns) : rows_(rows), columns_(columns), cells_(rows * columns) {}
  std::size_t RowsInStructure() const override { return rows_; }
  std::size_t ColumnsInStructure() const override { return columns_; }
  const CellValue& At(std::size_t r, std::size_t c) const override { return cells_.at(r * columns_ + c); }
  CellValue& At(std::size_t r, std::size_t c) override { return cells_.at(r * columns_ + c); }

 private:
  std::size_t rows_, columns_;
  std::vector<CellValue> cells_;
};

}  // namespace

CellMatrix::CellMatrix(std::size_t rows, std::size_t columns)
    : impl_(std::make_shared<VectorCellMatrix>(rows, columns)) {}

}  // namespace xlw

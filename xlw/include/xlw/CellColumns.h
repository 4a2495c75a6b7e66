#pragma once
// Views of a one-dimensional array of cells as a column of numbers, for row
// loops written as templates over their columns: the cells are read, and the
// result cells written, in the loop's own pass, with no column of doubles in
// between. Cell is sdk::xloper or sdk::xloper12, as the session chose.
#include <cstddef>
#include <cstring>

#include "xlw/XlfOper.h"
#include "xlw/xlcall.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define XLW_STREAMING_STORES 1
#endif

namespace xlw {

// The cells of an array of numbers. A boolean reads as 1 or 0 and an integer
// as its value, as the column conversion reads them; any other cell reads as
// 0 and is noted, for the caller to take the ordinary conversion instead
// (which reports it under the argument's name).
template <class Cell>
class NumberCells {
 public:
  explicit NumberCells(LPXLFOPER array) : cells_(static_cast<const Cell*>(array)->val.array.lparray) {}

  double operator[](std::size_t i) const {
    const Cell& c = cells_[i];
    if ((c.xltype & sdk::xltypeKindMask) == sdk::xltypeNum) return c.val.num;
    return Other(c);
  }
  bool AllNumbers() const { return allNumbers_; }

 private:
  double Other(const Cell& c) const {
    switch (c.xltype & sdk::xltypeKindMask) {
      case sdk::xltypeBool: return c.val.xbool != 0 ? 1.0 : 0.0;
      case sdk::xltypeInt: return c.val.w;
      default: allNumbers_ = false; return 0;
    }
  }
  const Cell* cells_;
  mutable bool allNumbers_ = true;
};

// Writes numbers into the elements of an array made by impl::MakeNumberColumn,
// each cell whole (value, type, the rest zero). Where the processor has them
// and the cells are whole 16-byte units (the 2007 layout, and the 97 layout
// in 32-bit Excel), streaming stores write past the cache: a million result
// cells are written once, not first read in. Finish() once all are written.
template <class Cell>
class NumberCellWriter {
 public:
  explicit NumberCellWriter(LPXLFOPER array) : cells_(static_cast<Cell*>(array)->val.array.lparray) {
    std::memset(&blank_, 0, sizeof blank_);
    blank_.xltype = sdk::xltypeNum;
  }

  void operator()(std::size_t i, double value) const {
#ifdef XLW_STREAMING_STORES
    if constexpr (sizeof(Cell) % 16 == 0) {
      // The blank cell in 16-byte units, the value over the first 8 bytes.
      const auto* blank = reinterpret_cast<const __m128i*>(&blank_);
      auto* to = reinterpret_cast<__m128i*>(cells_ + i);
      const __m128d first = _mm_castsi128_pd(_mm_loadu_si128(blank));
      _mm_stream_si128(to, _mm_castpd_si128(_mm_move_sd(first, _mm_set_sd(value))));
      for (std::size_t k = 1; k < sizeof(Cell) / 16; ++k) _mm_stream_si128(to + k, _mm_loadu_si128(blank + k));
      return;
    }
#endif
    std::memcpy(cells_ + i, &blank_, sizeof blank_);
    cells_[i].val.num = value;
  }

  // Orders the streaming stores before anything that follows.
  void Finish() const {
#ifdef XLW_STREAMING_STORES
    _mm_sfence();
#endif
  }

 private:
  Cell* cells_;
  Cell blank_;
};

}  // namespace xlw

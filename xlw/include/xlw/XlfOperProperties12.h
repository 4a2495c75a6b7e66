#pragma once
// What differs in the Excel 2007 cell (xloper12): 32-bit type word and
// integers, wide-counted strings, arrays of up to 1048576 × 16384 32-byte cells.
#include "xlw/PascalStringConversions.h"
#include "xlw/xlcall.h"

namespace xlw::impl {

template <class LPX>
struct XlfOperProperties;

template <>
struct XlfOperProperties<sdk::LPXLOPER12> {
  using Cell = sdk::xloper12;
  using Area = sdk::XLREF12;
  using AreaList = sdk::XLMREF12;
  using Char = sdk::XCHAR;

  static constexpr int kMaxRows = 1048576;
  static constexpr int kMaxColumns = 16384;
  static constexpr const char* kRowsMessage = "Truncating rows to 1048576";
  static constexpr const char* kColumnsMessage = "Truncating columns to 16384";

  static int Type(const Cell* c) { return static_cast<int>(c->xltype); }
  static void SetType(Cell* c, int t) { c->xltype = static_cast<sdk::DWORD>(t); }
  static int Int(const Cell* c) { return c->val.w; }
  static void SetInt(Cell* c, int v) { c->val.w = v; }
  static bool Bool(const Cell* c) { return c->val.xbool != 0; }
  static void SetBool(Cell* c, bool b) { c->val.xbool = b ? 1 : 0; }
  static int Error(const Cell* c) { return c->val.err; }
  static void SetError(Cell* c, int e) { c->val.err = e; }

  static char* Text(const Cell* c) { return PascalStringConversions::WidePascalToNarrow(c->val.str); }
  static void SetText(Cell* c, const std::string& s) {
    c->val.str = PascalStringConversions::NarrowToWidePascal(s.data(), s.size());
  }
  static WideString WideText(const Cell* c) { return PascalStringConversions::WidePascalToWide(c->val.str); }
  static void SetWideText(Cell* c, const WideString& s) {
    c->val.str = PascalStringConversions::WideToWidePascal(s.data(), s.size());
  }
  static Char* CopyString(const Char* s) { return PascalStringConversions::CopyWidePascal(s); }
  static Char* CopyStringToHeap(const Char* s) { return PascalStringConversions::CopyWidePascalToHeap(s); }
};

}  // namespace xlw::impl

#pragma once
// What differs in the Excel 97 cell (xloper): 16-bit type word and integers,
// byte-counted strings, arrays of at most 65535 × 256 16-byte cells.
#include "xlw/PascalStringConversions.h"
#include "xlw/xlcall.h"

namespace xlw::impl {

template <class LPX>
struct XlfOperProperties;

template <>
struct XlfOperProperties<sdk::LPXLOPER> {
  using Cell = sdk::xloper;
  using Area = sdk::XLREF;
  using AreaList = sdk::XLMREF;
  using Char = char;

  // The row count is a 16-bit word: 65536 rows would read back as 0.
  static constexpr int kMaxRows = 65535;
  static constexpr int kMaxColumns = 256;
  static constexpr const char* kRowsMessage = "Truncating rows to 65535";
  static constexpr const char* kColumnsMessage = "Truncating columns to 256";

  static int Type(const Cell* c) { return c->xltype; }
  static void SetType(Cell* c, int t) { c->xltype = static_cast<sdk::WORD>(t); }
  static int Int(const Cell* c) { return c->val.w; }
  static void SetInt(Cell* c, int v) { c->val.w = static_cast<short>(v); }
  static bool Bool(const Cell* c) { return c->val.xbool != 0; }
  static void SetBool(Cell* c, bool b) { c->val.xbool = b ? 1 : 0; }
  static int Error(const Cell* c) { return c->val.err; }
  static void SetError(Cell* c, int e) { c->val.err = static_cast<sdk::WORD>(e); }

  static char* Text(const Cell* c) { return PascalStringConversions::PascalToNarrow(c->val.str); }
  static void SetText(Cell* c, const std::string& s) {
    c->val.str = PascalStringConversions::NarrowToPascal(s.data(), s.size());
  }
  static WideString WideText(const Cell* c) { return PascalStringConversions::PascalToWide(c->val.str); }
  static void SetWideText(Cell* c, const WideString& s) {
    c->val.str = PascalStringConversions::WideToPascal(s.data(), s.size());
  }
  static Char* CopyString(const Char* s) { return PascalStringConversions::CopyPascal(s); }
  static Char* CopyStringToHeap(const Char* s) { return PascalStringConversions::CopyPascalToHeap(s); }
};

}  // namespace xlw::impl

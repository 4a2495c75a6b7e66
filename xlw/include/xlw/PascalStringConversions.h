#pragma once
// Counted strings of Excel's two layouts. Byte-counted: a length byte and up
// to 255 bytes in the ANSI code page. Wide-counted: a length unit and up to
// 32767 UTF-16 units. Strings made here carry one NUL after the counted
// characters; all results except the wide strings live in TempMemory.
#include <cstddef>
#include <string>

#include "xlw/xlcall.h"

namespace xlw {

using XCHAR = sdk::XCHAR;
using WideString = std::basic_string<XCHAR>;

namespace PascalStringConversions {

char* PascalToNarrow(const char* counted);                 // n + 1 bytes
char* WidePascalToNarrow(const XCHAR* counted);            // n + 1 bytes
char* NarrowToPascal(const char* s, std::size_t n);        // cut at 255
char* WideToPascal(const XCHAR* s, std::size_t n);         // cut at 255
XCHAR* NarrowToWidePascal(const char* s, std::size_t n);   // cut at 32767
XCHAR* WideToWidePascal(const XCHAR* s, std::size_t n);    // cut at 32766
WideString PascalToWide(const char* counted);
WideString WidePascalToWide(const XCHAR* counted);

char* CopyPascal(const char* counted);            // into TempMemory
XCHAR* CopyWidePascal(const XCHAR* counted);      // into TempMemory
char* CopyPascalToHeap(const char* counted);      // new[]; free with delete[]
XCHAR* CopyWidePascalToHeap(const XCHAR* counted);

}  // namespace PascalStringConversions

// An environment variable's value, empty (and reported) when unavailable.
std::string GetEnv(const std::string& name);

}  // namespace xlw

// The counted-string conversions of both layouts: the counts, the limits and
// the terminating NUL hold for any bytes and any length.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xlw/PascalStringConversions.h"
#include "xlw/Platform.h"
#include "xlw/TempMemory.h"

using namespace xlw;
using namespace xlw::PascalStringConversions;

namespace {
void Require(bool ok) {
  if (!ok) std::abort();
}
std::size_t Count(const char* s) { return static_cast<unsigned char>(s[0]); }
std::size_t Count(const XCHAR* s) { return static_cast<std::uint16_t>(s[0]); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool quiet = (platform::SetDebugSink([](const char*) {}), true);  // truncation reports
  (void)quiet;
  TempMemoryCall call;
  // Repeat the input to reach the wide limits now and then.
  const std::size_t times = size ? 1 + data[0] % 4 * (data[0] & 0x80 ? 30 : 1) : 1;
  std::string narrow;
  for (std::size_t t = 0; t < times; ++t) narrow.append(reinterpret_cast<const char*>(data), size);
  WideString wide;
  for (std::size_t i = 0; i + 1 < narrow.size(); i += 2)
    wide += static_cast<XCHAR>(static_cast<unsigned char>(narrow[i]) | static_cast<unsigned char>(narrow[i + 1]) << 8);

  const char* p = NarrowToPascal(narrow.data(), narrow.size());
  Require(Count(p) == std::min<std::size_t>(narrow.size(), 255) && p[Count(p) + 1] == 0);
  Require(std::string(PascalToNarrow(p)).size() <= Count(p));
  Require(PascalToWide(p).size() == Count(p));
  const char* q = WideToPascal(wide.data(), wide.size());
  Require(Count(q) == std::min<std::size_t>(wide.size(), 255));
  const XCHAR* w = NarrowToWidePascal(narrow.data(), narrow.size());
  Require(Count(w) == std::min<std::size_t>(narrow.size(), 32767) && w[Count(w) + 1] == 0);
  Require(std::string(WidePascalToNarrow(w)).size() <= Count(w));
  const XCHAR* v = WideToWidePascal(wide.data(), wide.size());
  Require(Count(v) == std::min<std::size_t>(wide.size(), 32766) && v[Count(v) + 1] == 0);
  Require(WidePascalToWide(v) == wide.substr(0, Count(v)));
  Require(WidePascalToWide(CopyWidePascal(v)) == WidePascalToWide(v));
  Require(std::string(PascalToNarrow(CopyPascal(p))) == std::string(PascalToNarrow(p)));
  return 0;
}

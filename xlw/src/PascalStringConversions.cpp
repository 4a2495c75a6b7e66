#include "xlw/PascalStringConversions.h"

#include <cstring>
#include <iostream>
#include <vector>

#include "xlw/Platform.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfException.h"

namespace xlw {
namespace PascalStringConversions {
namespace {

constexpr std::size_t kMaxBytes = 255;
constexpr std::size_t kMaxWideFromNarrow = 32767;
constexpr std::size_t kMaxWideFromWide = 32766;

// Truncation is reported, never a failure.
std::size_t Limited(std::size_t n, std::size_t limit) {
  if (n <= limit) return n;
  XLW_REPORT("String truncated to " + std::to_string(limit) + " bytes");
  return limit;
}

std::size_t ByteCount(const char* counted) { return static_cast<unsigned char>(counted[0]); }
std::size_t UnitCount(const XCHAR* counted) { return static_cast<std::uint16_t>(counted[0]); }

}  // namespace

char* PascalToNarrow(const char* counted) {
  const std::size_t n = ByteCount(counted);
  char* out = TempMemory::GetMemory(n + 1);
  std::memcpy(out, counted + 1, n);
  return out;
}

char* WidePascalToNarrow(const XCHAR* counted) {
  const std::size_t n = UnitCount(counted);
  char* out = TempMemory::GetMemory(n + 1);
  platform::WideToNarrow(counted + 1, n, out, n);
  return out;
}

char* NarrowToPascal(const char* s, std::size_t n) {
  n = Limited(n, kMaxBytes);
  char* out = TempMemory::GetMemory(n + 2);
  out[0] = static_cast<char>(n);
  std::memcpy(out + 1, s, n);
  return out;
}

char* WideToPascal(const XCHAR* s, std::size_t n) {
  n = Limited(n, kMaxBytes);
  char* out = TempMemory::GetMemory(n + 2);
  platform::WideToNarrow(s, n, out + 1, n);
  out[0] = static_cast<char>(n);  // the count of units, whatever the bytes
  return out;
}

XCHAR* NarrowToWidePascal(const char* s, std::size_t n) {
  n = Limited(n, kMaxWideFromNarrow);
  XCHAR* out = TempMemory::GetMemory<XCHAR>(n + 2);
  platform::NarrowToWide(s, n, out + 1, n);
  out[0] = static_cast<XCHAR>(n);
  return out;
}

XCHAR* WideToWidePascal(const XCHAR* s, std::size_t n) {
  n = Limited(n, kMaxWideFromWide);
  XCHAR* out = TempMemory::GetMemory<XCHAR>(n + 2);
  std::memcpy(out + 1, s, n * sizeof(XCHAR));
  out[0] = static_cast<XCHAR>(n);
  return out;
}

WideString PascalToWide(const char* counted) {
  const std::size_t n = ByteCount(counted);
  WideString out(n, XCHAR(0));
  out.resize(platform::NarrowToWide(counted + 1, n, &out[0], n));
  return out;
}

WideString WidePascalToWide(const XCHAR* counted) { return WideString(counted + 1, UnitCount(counted)); }

char* CopyPascal(const char* counted) {
  const std::size_t n = ByteCount(counted);
  char* out = TempMemory::GetMemory(n + 2);
  std::memcpy(out, counted, n + 1);
  return out;
}

XCHAR* CopyWidePascal(const XCHAR* counted) {
  const std::size_t n = UnitCount(counted);
  XCHAR* out = TempMemory::GetMemory<XCHAR>(n + 2);
  std::memcpy(out, counted, (n + 1) * sizeof(XCHAR));
  return out;
}

char* CopyPascalToHeap(const char* counted) {
  const std::size_t n = ByteCount(counted);
  char* out = new char[n + 2]();
  std::memcpy(out, counted, n + 1);
  return out;
}

XCHAR* CopyWidePascalToHeap(const XCHAR* counted) {
  const std::size_t n = UnitCount(counted);
  XCHAR* out = new XCHAR[n + 2]();
  std::memcpy(out, counted, (n + 1) * sizeof(XCHAR));
  return out;
}

}  // namespace PascalStringConversions

std::string GetEnv(const std::string& name) {
  std::vector<char> buffer(4096);
  std::size_t n = platform::GetEnvironment(name.c_str(), buffer.data(), buffer.size());
  if (n > buffer.size()) {
    buffer.resize(n);
    n = platform::GetEnvironment(name.c_str(), buffer.data(), buffer.size());
  }
  if (n == 0 || n > buffer.size()) {
    std::cerr << " Could not obtain " << name << " Environment variable " << std::endl;
    return {};
  }
  return std::string(buffer.data());
}

}  // namespace xlw

#include "pkcore/shown.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pkcore {
namespace {

constexpr int kDigits = 6;      // what a message shows by default
constexpr int kAllDigits = 17;  // enough to read back any double

std::string Printed(double value, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

// The fewest significant digits that read back as the value itself.
int ExactDigits(double value) {
  for (int digits = 1; digits < kAllDigits; ++digits)
    if (std::strtod(Printed(value, digits).c_str(), nullptr) == value) return digits;
  return kAllDigits;
}

}  // namespace

std::string Shown(double value) { return Printed(value, kDigits); }

std::pair<std::string, std::string> ShownApart(double a, double b) {
  int digits = kDigits;
  while (digits < kAllDigits && Printed(a, digits) == Printed(b, digits)) ++digits;
  // 152.4 printed with 17 digits is 152.40000000000001: a number that reads
  // back exactly with fewer digits keeps its short form.
  const int digitsA = std::min(digits, std::max(kDigits, ExactDigits(a)));
  const int digitsB = std::min(digits, std::max(kDigits, ExactDigits(b)));
  std::pair<std::string, std::string> shown{Printed(a, digitsA), Printed(b, digitsB)};
  if (shown.first == shown.second && a != b) shown = {Printed(a, kAllDigits), Printed(b, kAllDigits)};
  return shown;
}

}  // namespace pkcore

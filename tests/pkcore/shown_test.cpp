// Numbers in messages: never two different numbers that read as one.
#include "pkcore/shown.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

using pkcore::Shown;
using pkcore::ShownApart;

namespace {

TEST(Shown, SixSignificantDigits) {
  EXPECT_EQ(Shown(152.4), "152.4");
  EXPECT_EQ(Shown(5.2000000000063e-05), "5.2e-05");
  EXPECT_EQ(Shown(81.03158), "81.0316");
  EXPECT_EQ(Shown(-70), "-70");
}

TEST(ShownApart, TheDigitsThatTellTwoNumbersApart) {
  struct Case {
    double a, b;
    const char* shownA;
    const char* shownB;
    const char* why;
  };
  const double below = std::nextafter(152.4, 0.0);  // 152.39999999999998
  const Case cases[] = {
      {152.4, below, "152.4", "152.39999999999998", "one double apart: the limit stays round"},
      {below, 152.4, "152.39999999999998", "152.4", "either order"},
      {106, 106.0000001, "106", "106.0000001", "ten digits"},
      {85, 85.01, "85", "85.01", "six digits suffice"},
      {117.19342604298357, 117.2, "117.193", "117.2", "six digits suffice"},
      {100000, 100000.5, "100000", "100000.5", "no exponent form for a short number"},
      {1e-300, std::nextafter(1e-300, 1.0), "1e-300", "1.0000000000000002e-300", "tiny"},
      {0.1 + 0.2, 0.3, "0.30000000000000004", "0.3", "the classic"},
      {2.5, 2.5, "2.5", "2.5", "equal numbers read the same"},
      {1.0 / 3, 1.0 / 3, "0.3333333333333333", "0.3333333333333333", "equal numbers are shown exactly"},
      {-0.0, 0.0, "-0", "0", "signed zeros"},
  };
  for (const Case& c : cases) {
    const auto [a, b] = ShownApart(c.a, c.b);
    EXPECT_EQ(a, c.shownA) << c.why;
    EXPECT_EQ(b, c.shownB) << c.why;
  }
}

// Whatever the two numbers, different ones never read as equal, keep their
// order, and keep six digits where six already tell them apart.
TEST(ShownApart, DifferentNumbersNeverReadAsEqual) {
  std::mt19937_64 random(20);
  std::uniform_real_distribution<double> exponent(-300, 300);
  std::uniform_int_distribution<int> steps(1, 1000);
  for (int i = 0; i < 20000; ++i) {
    // Neighbours a few doubles apart, and (every fourth) numbers far apart.
    const double a = std::pow(10.0, exponent(random));
    double b = a;
    if (i % 4 == 0) {
      b = a * (1 + std::ldexp(steps(random), -20 - steps(random) % 20));
    } else {
      const int n = i % 3 == 0 ? 1 : steps(random);
      for (int k = 0; k < n; ++k) b = std::nextafter(b, i % 2 ? 0.0 : 1e308);
    }
    const auto [shownA, shownB] = ShownApart(a, b);
    ASSERT_NE(shownA, shownB) << a << " " << b;
    // Each text reads back as a number on the right side of the other.
    const double readA = std::strtod(shownA.c_str(), nullptr), readB = std::strtod(shownB.c_str(), nullptr);
    ASSERT_EQ(readA < readB, a < b) << shownA << " " << shownB;
    if (Shown(a) != Shown(b)) {
      ASSERT_EQ(shownA, Shown(a));
      ASSERT_EQ(shownB, Shown(b));
    }
  }
}

}  // namespace

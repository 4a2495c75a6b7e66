#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "session_fixture.h"
#include "xlw/PascalStringConversions.h"
#include "xlw/Win32StreamBuf.h"

using namespace xlw;
using namespace xlw::PascalStringConversions;

namespace {

std::size_t Count(const char* counted) { return static_cast<unsigned char>(counted[0]); }
std::size_t Count(const XCHAR* counted) { return static_cast<std::uint16_t>(counted[0]); }

TEST(CountedStrings, TruncationLimitsAtTheirEdges) {
  TempMemoryCall call;
  struct Case {
    std::size_t length;
    std::size_t stored;
    const char* message;  // nullptr: none expected
  };
  const Case narrowToBytes[] = {{254, 254, nullptr}, {255, 255, nullptr}, {256, 255, "String truncated to 255 bytes"}};
  for (const auto& c : narrowToBytes) {
    xlwtest::Diagnostics d;
    const std::string s(c.length, 'a');
    const char* counted = NarrowToPascal(s.data(), s.size());
    EXPECT_EQ(Count(counted), c.stored);
    EXPECT_EQ(counted[c.stored + 1], '\0') << "NUL after the counted bytes";
    EXPECT_EQ(d.Contains("String truncated"), c.message != nullptr) << c.length;
    if (c.message) {
      EXPECT_TRUE(d.Contains(c.message));
    }
  }
  const Case wideToBytes[] = {{255, 255, nullptr}, {256, 255, "String truncated to 255 bytes"}};
  for (const auto& c : wideToBytes) {
    xlwtest::Diagnostics d;
    const WideString s(c.length, XCHAR('w'));
    EXPECT_EQ(Count(WideToPascal(s.data(), s.size())), c.stored);
    EXPECT_EQ(d.Contains("String truncated to 255 bytes"), c.message != nullptr);
  }
  const Case narrowToWide[] = {{32766, 32766, nullptr}, {32767, 32767, nullptr}, {32768, 32767, "String truncated to 32767 bytes"}};
  for (const auto& c : narrowToWide) {
    xlwtest::Diagnostics d;
    const std::string s(c.length, 'n');
    const XCHAR* counted = NarrowToWidePascal(s.data(), s.size());
    EXPECT_EQ(Count(counted), c.stored);
    EXPECT_EQ(counted[c.stored + 1], XCHAR(0));
    EXPECT_EQ(d.Contains("String truncated to 32767 bytes"), c.message != nullptr) << c.length;
  }
  const Case wideToWide[] = {{32765, 32765, nullptr}, {32766, 32766, nullptr}, {32767, 32766, "String truncated to 32766 bytes"}};
  for (const auto& c : wideToWide) {
    xlwtest::Diagnostics d;
    const WideString s(c.length, XCHAR('v'));
    EXPECT_EQ(Count(WideToWidePascal(s.data(), s.size())), c.stored);
    EXPECT_EQ(d.Contains("String truncated to 32766 bytes"), c.message != nullptr) << c.length;
  }
}

TEST(CountedStrings, RoundTripsThroughTheCodePage) {
  TempMemoryCall call;
  const std::string text = "Dosis \x80 5 \xB5g";  // euro sign and micro sign in Windows-1252
  const XCHAR* wide = NarrowToWidePascal(text.data(), text.size());
  EXPECT_EQ(wide[7], XCHAR(0x20AC));
  EXPECT_STREQ(WidePascalToNarrow(wide), text.c_str());
  EXPECT_STREQ(PascalToNarrow(NarrowToPascal(text.data(), text.size())), text.c_str());
  EXPECT_EQ(PascalToWide(NarrowToPascal(text.data(), text.size())), WidePascalToWide(wide));
  const WideString greek(1, XCHAR(0x03B1));  // no Windows-1252 equivalent
  EXPECT_STREQ(WidePascalToNarrow(WideToWidePascal(greek.data(), 1)), "?");
  const char empty[1] = {0};
  EXPECT_STREQ(PascalToNarrow(empty), "");
  EXPECT_STREQ(PascalToNarrow(CopyPascal(NarrowToPascal("abc", 3))), "abc");
}

TEST(Environment, LongValuesAreReadWholeAndAbsentOnesReported) {
  const std::string value(5000, 'x');
  setenv("AMBREL_TEST_LONG", value.c_str(), 1);
  EXPECT_EQ(GetEnv("AMBREL_TEST_LONG"), value);
  unsetenv("AMBREL_TEST_ABSENT");
  xlwtest::Diagnostics d;
  EXPECT_EQ(GetEnv("AMBREL_TEST_ABSENT"), "");
  EXPECT_TRUE(d.Contains(" Could not obtain AMBREL_TEST_ABSENT Environment variable "));
}

TEST(Diagnostics, LinesReachTheDebuggerOneAtATime) {
  std::vector<std::string> lines;
  platform::SetDebugSink([&](const char* text) { lines.push_back(text); });
  std::cerr << "first line" << std::endl;
  std::cerr << "second" << '\n';
  platform::SetDebugSink(nullptr);
  // The error stream flushes after every insertion, so a line may come in pieces.
  std::string joined;
  for (const auto& l : lines) joined += l;
  EXPECT_EQ(joined, "first line\nsecond\n");
  EXPECT_EQ(lines.back(), "\n");
}

TEST(Diagnostics, WithoutDebuggerNothingAccumulates) {
  Win32StreamBuf buf;
  std::ostream out(&buf);
  std::vector<std::string> seen;
  for (int i = 0; i < 1000; ++i) out << "line " << i << std::endl;
  // With a listener attached now, only what follows arrives.
  platform::SetDebugSink([&](const char* text) { seen.push_back(text); });
  out << "after" << std::endl;
  platform::SetDebugSink(nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "after\n");
}

}  // namespace

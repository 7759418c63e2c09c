#include "app/size_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace orv {
namespace {

TEST(FormatSize, UnitSwitchPointsAndTruncation) {
  struct Case {
    int64_t value;
    const char* expected;
  };
  constexpr Case kCases[] = {
      {999, " 999.0B"},
      {1000, "   1.0k"},
      {999999, " 999.9k"},
      {1000000, "   1.0M"},
      {4700372992, "   4.7G"},
      {1000000000000, "   1.0T"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(FormatSize(c.value), c.expected) << "value " << c.value;
  }
}

// The text and its terminator fill at most eight bytes; out of range, the text is empty.
TEST(FormatSize, OutOfRangeLeavesAnEmptyTextAndNothingPassesEightBytes) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  FormatSize(buffer, 999999999999999);
  EXPECT_EQ(std::string(buffer, 9), std::string(" 999.9T\0x", 9));
  constexpr int64_t kValues[] = {1000000000000000, std::numeric_limits<int64_t>::max(), -1,
                                 std::numeric_limits<int64_t>::min()};
  for (const int64_t value : kValues) {
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FormatSize(buffer, value), buffer);
    EXPECT_STREQ(buffer, "") << "value " << value;
    EXPECT_EQ(buffer[1], 'x') << "value " << value;
  }
}

}  // namespace
}  // namespace orv

#include "report/print.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace orv {
namespace {

std::string Columns(std::string text, std::initializer_list<ColumnItem> items, LineEnd end = LineEnd::kClose) {
  AppendColumns(text, items, end);
  return text;
}

TEST(AppendColumns, ItemsStandAtTheirColumnsOfWhatThisCallAppends) {
  EXPECT_EQ(Columns("", {{0, "Label"}, {10, "value"}, {16, "unit"}}), "Label     value unit\r\n");
  EXPECT_EQ(Columns("", {{0, "A label longer than ten"}, {10, "v"}}), "A label longer than tenv\r\n");
  EXPECT_EQ(Columns("before ", {{4, "x"}}), "before     x\r\n");
  EXPECT_EQ(Columns("", {{0, "a"}, {3, "b"}}, LineEnd::kOpen), "a  b");
  EXPECT_EQ(Columns("", {{0, "Heading\r\n"}}), "Heading\r\n\r\n");
  // A negative first column, or nothing appended, adds no line.
  EXPECT_EQ(Columns("", {{-1, "never"}, {10, "shown"}}), "");
  EXPECT_EQ(Columns("", {{0, ""}}), "");
}

TEST(FormatGrouped, GroupsOfThreeFromTheRight) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {-128, "-128"}, {-1234, "-1,234"},
      {-123456, "-123,456"}, {std::numeric_limits<int64_t>::max(), "9,223,372,036,854,775,807"},
      {std::numeric_limits<int64_t>::min(), "-9,223,372,036,854,775,808"},
  };
  for (const auto& [value, expected] : cases) {
    std::string text = "old content";
    EXPECT_EQ(FormatGrouped(text, value), expected) << value;
  }
  std::string text;
  EXPECT_EQ(FormatGroupedRight(10, text, 1234567), " 1,234,567");
  EXPECT_EQ(FormatGroupedRight(4, text, 1234567), "1,234,567");
  EXPECT_EQ(FormatGroupedRight(16, text, -2), "              -2");
}

}  // namespace
}  // namespace orv

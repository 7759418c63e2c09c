#include "report/print.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace orv {
namespace {

TEST(AppendColumns, PadsEachItemToItsColumnAndEndsTheLine) {
  std::string text;
  AppendColumns(text, {{0, "Label"}, {10, "value"}, {16, "unit"}});
  EXPECT_EQ(text, "Label     value unit\r\n");
}

TEST(AppendColumns, ItemPastItsColumnFollowsDirectly) {
  std::string text;
  AppendColumns(text, {{0, "A label longer than ten"}, {10, "v"}});
  EXPECT_EQ(text, "A label longer than tenv\r\n");
}

TEST(AppendColumns, ColumnsCountFromWhatThisCallAppends) {
  std::string text = "before ";
  AppendColumns(text, {{4, "x"}});
  EXPECT_EQ(text, "before     x\r\n");
}

TEST(AppendColumns, NegativeFirstColumnAppendsNothing) {
  std::string text;
  AppendColumns(text, {{-1, "never"}, {10, "shown"}});
  EXPECT_EQ(text, "");
}

TEST(AppendColumns, OpenLineGetsNoLineEnd) {
  std::string text;
  AppendColumns(text, {{0, "a"}, {3, "b"}}, LineEnd::kOpen);
  EXPECT_EQ(text, "a  b");
}

TEST(AppendColumns, HeadingWithItsOwnLineEndIsFollowedByAnEmptyLine) {
  std::string text;
  AppendColumns(text, {{0, "Heading\r\n"}});
  EXPECT_EQ(text, "Heading\r\n\r\n");
}

TEST(AppendColumns, NothingAppendedGivesNoEmptyLine) {
  std::string text;
  AppendColumns(text, {{0, ""}});
  EXPECT_EQ(text, "");
}

TEST(FormatGrouped, GroupsOfThreeFromTheRight) {
  const struct {
    int64_t value;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1,000"},
      {1234567, "1,234,567"},
      {-128, "-128"},
      {-1234, "-1,234"},
      {-123456, "-123,456"},
      {std::numeric_limits<int64_t>::max(), "9,223,372,036,854,775,807"},
      {std::numeric_limits<int64_t>::min(), "-9,223,372,036,854,775,808"},
  };
  for (const auto& c : cases) {
    std::string text = "old content";
    EXPECT_EQ(FormatGrouped(text, c.value), c.expected) << c.value;
  }
}

TEST(FormatGroupedRight, RightAlignsWithoutCutting) {
  std::string text;
  EXPECT_EQ(FormatGroupedRight(10, text, 1234567), " 1,234,567");
  EXPECT_EQ(FormatGroupedRight(4, text, 1234567), "1,234,567");
  EXPECT_EQ(FormatGroupedRight(16, text, -2), "              -2");
}

TEST(FormatText, ReplacesAndReturnsTheDestination) {
  std::string text = "old";
  EXPECT_EQ(&FormatText(text, "%*,I64u", 8, uint64_t{1234567}), &text);
  EXPECT_EQ(text, "1,234,567");
}

TEST(AppendFormat, AppendsTheFormattedText) {
  std::string text = "a";
  AppendFormat(text, "%04XH %s", 0x12u, "DVD-RAM");
  EXPECT_EQ(text, "a0012H DVD-RAM");
}

}  // namespace
}  // namespace orv

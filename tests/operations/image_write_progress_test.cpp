#include "operations/image_write_progress.h"

#include <gtest/gtest.h>

namespace orv::test {
namespace {

// 600 sectors 6 s after the start: both rates are 100 sectors a second, so a disc with
// 100 * r sectors still to go is r seconds from the end.
TEST(RemainingTimeEstimate, TextAtEachBoundaryOfItsThreeForms) {
  struct Case {
    uint64_t seconds;
    const char* text;
  };
  const Case cases[] = {
      {60, " - 残り60秒"},   {61, " - 残り1分01秒"}, {300, " - 残り5分00秒"},
      {301, " - 残り5分"},   {359, " - 残り5分"},    {100000, " - 残り1666分"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    RemainingTimeEstimate estimate;
    estimate.Start(1000);
    EXPECT_TRUE(estimate.Update(600, 600 + 100 * c.seconds, 7000));
    EXPECT_EQ(estimate.RemainingText(), c.text);
    EXPECT_EQ(RemainingTimeText(c.seconds), c.text);
  }
}

TEST(RemainingTimeEstimate, RenewedOnlyAfterMoreThanFiveSecondsOfProgress) {
  RemainingTimeEstimate estimate;
  estimate.Start(0);
  EXPECT_TRUE(estimate.Update(500, 6500, 5000));  // exactly 5 s: not yet
  EXPECT_EQ(estimate.RemainingText(), "");
  EXPECT_FALSE(estimate.Update(500, 6500, 5500));  // nothing moved: nothing changes
  EXPECT_EQ(estimate.RemainingText(), "");
  EXPECT_TRUE(estimate.Update(600, 6600, 6000));  // 6 s, 100 a second: 60 s to go
  EXPECT_EQ(estimate.RemainingText(), " - 残り60秒");
  // Within the next 5 s the text stays, whatever the counts say.
  EXPECT_TRUE(estimate.Update(6000, 6600, 9000));
  EXPECT_EQ(estimate.RemainingText(), " - 残り60秒");
}

// The rate is the mean of the average since the start and the rate since the last estimate.
TEST(RemainingTimeEstimate, FollowsADriveThatChangesSpeed) {
  RemainingTimeEstimate estimate;
  estimate.Start(0);
  ASSERT_TRUE(estimate.Update(600, 100000, 6000));  // 100 a second
  // 3000 more in the next 6 s: average 3600 / 12 = 300, recent 500, rate 400; 36000 to go.
  ASSERT_TRUE(estimate.Update(3600, 3600 + 36000, 12000));
  EXPECT_EQ(estimate.RemainingText(), " - 残り1分30秒");
}

TEST(RemainingTimeEstimate, ARateBelowOneSectorASecondShowsNoTime) {
  RemainingTimeEstimate estimate;
  estimate.Start(0);
  ASSERT_TRUE(estimate.Update(1, 1000, 6000));
  EXPECT_EQ(estimate.RemainingText(), "");
  // A new run forgets the old one.
  ASSERT_TRUE(estimate.Update(700, 1300, 13000));
  EXPECT_NE(estimate.RemainingText(), "");
  estimate.Start(20000);
  EXPECT_EQ(estimate.RemainingText(), "");
  EXPECT_TRUE(estimate.Update(1, 10, 20001));
}

TEST(ImageWriteTexts, ProgressLineAndTimeTaken) {
  EXPECT_EQ(ProgressLine(false, 1147552, 2295104, " - 残り5分"), "1147552/2295104 (50%) - 残り5分");
  EXPECT_EQ(ProgressLine(false, 1, 3, ""), "1/3 (33%)");  // truncated
  EXPECT_EQ(ProgressLine(true, 64, 128, ""), "ベリファイ 64/128 (50%)");
  // Nothing to write is a finished write, not a division by zero.
  EXPECT_EQ(ProgressLine(false, 0, 0, ""), "0/0 (100%)");
  // Sector counts beyond 32 bits stay exact.
  EXPECT_EQ(ProgressLine(false, uint64_t{5} << 32, uint64_t{10} << 32, ""), "21474836480/42949672960 (50%)");

  const struct {
    uint64_t seconds;
    const char* text;
  } elapsed[] = {{59, "59秒"}, {60, "1分0秒"}, {3725, "62分5秒"}};
  for (const auto& e : elapsed) EXPECT_EQ(ElapsedText(e.seconds), e.text) << e.seconds;
}

}  // namespace
}  // namespace orv::test

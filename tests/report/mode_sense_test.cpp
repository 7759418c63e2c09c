#include "report/mode_sense.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;
using test::Titles;

const std::vector<uint8_t> kDirectAccessInquiry = {0x00, 0x00, 0x02, 0x02, 31, 0, 0, 0};
const char kDumpHeading[] = "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------";

// A six-byte answer: block descriptor, page 01h with savable and reserved bits set and shorter
// than its decoder needs, page 07h without decoder (with bit 6 set), and page 0Dh.
const std::vector<uint8_t> kSixByteAnswer = {
    0x1F, 0x00, 0x90, 0x08,                                  // header: 31 bytes follow, WP and DPOFUA set
    0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08, 0x00,          // density 10h, 4096 blocks of 2048
    0x81, 0x06, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05,          // page 01h, 6 bytes
    0xC7, 0x02, 0xAA, 0x55,                                  // page 07h, 2 bytes
    0x0D, 0x06, 0x00, 0x03, 0x00, 0x3C, 0x00, 0x4B,          // page 0Dh
    0x00, 0x00, 0x00};                                       // past the answer's own length

TEST(AddModeSenseAnswer, SixByteHeaderWithBlockDescriptorAndPages) {
  DriveReport report;
  AddModeSenseAnswer(report, 6, kSixByteAnswer, kDirectAccessInquiry);
  ASSERT_EQ(Titles(report), (std::vector<std::string>{"Mode Parameter", "  Block Desciptor",
                                                      "  01H: Read/Write Error Recovery Parameter",
                                                      "  pagecode 07H size:  2", "  0DH: CD Device Parameter"}));
  EXPECT_EQ(report.Row(0).text, Lines({"modeSense (6): length 32", kDumpHeading,
                                       "0000-0000  1F 00 90 08 10 00 10 00 - 00 00 08 00 81 06 00 01  ................",
                                       "0000-0010  02 03 04 05 C7 02 AA 55 - 0D 06 00 03 00 3C 00 4B  ....\xC7.\xAAU.....<.K"}));
  EXPECT_EQ(report.Row(1).text, Lines({"Block Descriptor 10H (2,048) 4,096",
                                       "    Write Protect                                      1",
                                       "    Disable PageOut/Force Unit Access                  1"}));
  EXPECT_EQ(report.Row(2).text, Lines({"pagecode 01H size:  6 - Read/Write Error Recovery Parameter",
                                       "01H: Read/Write Error Recovery Parameter", kDumpHeading,
                                       "0000-0000  00 01 02 03 04 05       -                          ......          "}));
  EXPECT_EQ(report.Row(3).text, Lines({"pagecode 07H size:  2", kDumpHeading,
                                       "0000-0000  AA 55                   -                          \xAAU              "}));
  EXPECT_EQ(report.Row(4).text, Lines({"pagecode 0DH size:  6 - CD Device Parameter",
                                       "Inactivity Timer Multiplier                        500ms",
                                       "MSF# - S Units Per MSF - M Unit                       60",
                                       "MSF# - F Units Per MSF - S Unit                       75"}));
  for (size_t row = 0; row < report.RowCount(); ++row) {
    EXPECT_EQ(report.Row(row).kind, kSectionModeSense) << row;
    EXPECT_EQ(report.Row(row).subKind, row == 0 ? kSectionHead : kSectionChild) << row;
  }
}

TEST(AddModeSenseAnswer, TenByteHeaderShowsOnlyTheFirstBlockDescriptor) {
  std::vector<uint8_t> answer = {
      0x00, 0x36, 0x00, 0x80, 0x00, 0x00, 0x00, 0x10,                         // 54 bytes follow, 16 of descriptors
      0x02, 0x00, 0x00, 0x20, 0x00, 0x00, 0x02, 0x00,                         // first descriptor
      0x03, 0x00, 0x00, 0x10, 0x00, 0x00, 0x08, 0x00,                         // second descriptor
      0x08, 0x0A, 0x04, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 0x12, 0x34,  // page 08h
      0x1A, 0x0A, 0x03, 0x00, 0x00, 0x00, 0x0B, 0xB8, 0x00, 0x01, 0x86, 0xA0,  // page 1Ah
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  DriveReport report;
  AddModeSenseAnswer(report, 10, answer, kDirectAccessInquiry);
  ASSERT_EQ(Titles(report), (std::vector<std::string>{"Mode Parameter", "  Block Desciptor",
                                                      "  08H: Cache Control Parameter", "  1AH: Power Condition"}));
  EXPECT_EQ(report.Row(0).text.substr(0, 27), "modeSense (10): length 56\r\n");
  EXPECT_EQ(report.Row(1).text, Lines({"Block Descriptor 02H (512) 32",
                                       "    Write Protect                                      1",
                                       "    Disable PageOut/Force Unit Access                  0"}));
  EXPECT_EQ(report.Row(3).text, Lines({"pagecode 1AH size: 10 - Power Condition",
                                       "Idle                                                  ON",
                                       "Standby                                               ON",
                                       "Idle Timer                                         3,000",
                                       "Standby Timer                                    100,000"}));
}

TEST(AddModeSenseAnswer, DeviceSpecificLinesOnlyForDirectAccessInquiry) {
  const struct {
    std::vector<uint8_t> inquiry;
    bool shown;
  } cases[] = {
      {kDirectAccessInquiry, true},
      {{0x05, 0x80}, true},   // bits 5-0 of byte 1 are what counts
      {{0x00, 0x01}, false},
      {{0x00}, false},
      {{}, false},
  };
  for (const auto& c : cases) {
    DriveReport report;
    AddModeSenseAnswer(report, 6, kSixByteAnswer, c.inquiry);
    ASSERT_GE(report.RowCount(), 2u);
    EXPECT_EQ(report.Row(1).text.find("Write Protect") != std::string::npos, c.shown) << c.inquiry.size();
  }
}

TEST(AddModeSenseAnswer, NoSectionForModeDataLengthZeroOrAbove4096) {
  const struct {
    int command;
    std::vector<uint8_t> answer;
  } cases[] = {
      {6, {0x00, 0x00, 0x00, 0x00}},
      {10, test::Placed(16, 0, {0x10, 0x01})},  // 4097
      {10, test::Placed(16, 0, {0xFF, 0xFF})},
      {10, {0x00, 0x10, 0x00}},                 // shorter than its header
  };
  for (const auto& c : cases) {
    DriveReport report;
    AddModeSenseAnswer(report, c.command, c.answer, kDirectAccessInquiry);
    EXPECT_EQ(report.RowCount(), 0u);
  }
}

TEST(AddModeSenseAnswer, PageLengthZeroEndsTheWalk) {
  std::vector<uint8_t> answer = {0x0F, 0, 0, 0, 0x08, 0x00, 0x0D, 0x06, 0, 0, 0, 0, 0, 0, 0, 0};
  DriveReport report;
  AddModeSenseAnswer(report, 6, answer, {});
  EXPECT_EQ(Titles(report), (std::vector<std::string>{"Mode Parameter"}));
}

TEST(AddModeSenseAnswer, PageRunningPastTheAnswerIsShownAsReceived) {
  // Page 1Ah claims 10 bytes; the answer ends after 5 of them.
  std::vector<uint8_t> answer = {0x20, 0, 0, 0, 0x1A, 0x0A, 0x03, 0x00, 0x00, 0x00, 0x0B};
  DriveReport report;
  AddModeSenseAnswer(report, 6, answer, {});
  ASSERT_EQ(report.RowCount(), 2u);
  EXPECT_EQ(report.Row(0).text.substr(0, 26), "modeSense (6): length 33\r\n");
  EXPECT_EQ(report.Row(1).text, Lines({"pagecode 1AH size: 10 - Power Condition", "1AH: Power Condition", kDumpHeading,
                                       "0000-0000  03 00 00 00 0B          -                          .....           "}));
}

TEST(AddModeSenseAnswer, PageWhoseLengthByteLiesOutsideTheAnswerIsNotShown) {
  std::vector<uint8_t> answer = {0x04, 0, 0, 0, 0x08};
  DriveReport report;
  AddModeSenseAnswer(report, 6, answer, {});
  EXPECT_EQ(Titles(report), (std::vector<std::string>{"Mode Parameter"}));
}

TEST(ModeSense6AnswerIsEmpty, FallsBackOnlyForLongAnswersWithAnEmptyFirstPage) {
  const struct {
    const char* name;
    std::vector<uint8_t> answer;
    bool empty;
  } cases[] = {
      {"empty first page", test::Placed(32, 0, {0x1F, 0, 0, 0}), true},
      {"empty page after descriptor", test::Placed(32, 0, {0x1F, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8}), true},
      {"short answer used unchanged", test::Placed(32, 0, {0x06, 0, 0, 0}), false},
      {"page present", test::Placed(32, 0, {0x1F, 0, 0, 0, 0x01, 0x0A}), false},
      {"code without length", test::Placed(32, 0, {0x1F, 0, 0, 0, 0x01, 0x00}), false},
      {"length without code", test::Placed(32, 0, {0x1F, 0, 0, 0, 0x00, 0x02}), false},
      {"no header", {0x1F, 0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(ModeSense6AnswerIsEmpty(c.answer), c.empty) << c.name;
}

}  // namespace
}  // namespace orv

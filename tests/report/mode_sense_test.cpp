#include "report/mode_sense.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

const std::vector<uint8_t> kDirectAccessInquiry = {0x00, 0x00, 0x02, 0x02, 31, 0, 0, 0};

// A six-byte answer: block descriptor, page 01h with savable and reserved bits set and shorter
// than its decoder needs, page 07h without decoder (with bit 6 set), and page 0Dh.
const std::vector<uint8_t> kSixByteAnswer = {
    0x1F, 0x00, 0x90, 0x08,                          // header: 31 bytes follow, WP and DPOFUA set
    0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08, 0x00,  // density 10h, 4096 blocks of 2048
    0x81, 0x06, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05,  // page 01h, 6 bytes
    0xC7, 0x02, 0xAA, 0x55,                          // page 07h, 2 bytes
    0x0D, 0x06, 0x00, 0x03, 0x00, 0x3C, 0x00, 0x4B,  // page 0Dh
    0x00, 0x00, 0x00};                               // past the answer's own length

// Header and block descriptor only.
const std::vector<uint8_t> kDescriptorOnly = {0x0B, 0x00, 0x90, 0x08, 0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08, 0x00};

// The sections of each answer; the expected texts are in golden/mode_sense.txt.
TEST(AddModeSenseAnswer, HeaderFormsDescriptorsAndPages) {
  const struct {
    const char* name;
    int command;
    std::vector<uint8_t> answer;
    std::vector<uint8_t> inquiry = kDirectAccessInquiry;
  } cases[] = {
      {"SixByteHeader", 6, kSixByteAnswer},
      // Two block descriptors (only the first is shown), pages 08h and 1Ah.
      {"TenByteHeader", 10, {0x00, 0x36, 0x00, 0x80, 0x00, 0x00, 0x00, 0x10,
                             0x02, 0x00, 0x00, 0x20, 0x00, 0x00, 0x02, 0x00,
                             0x03, 0x00, 0x00, 0x10, 0x00, 0x00, 0x08, 0x00,
                             0x08, 0x0A, 0x04, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 0x12, 0x34,
                             0x1A, 0x0A, 0x03, 0x00, 0x00, 0x00, 0x0B, 0xB8, 0x00, 0x01, 0x86, 0xA0,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      // Page 1Ah claims 10 bytes; the answer ends after 5 of them.
      {"PageRunningPastTheAnswer", 6, {0x20, 0, 0, 0, 0x1A, 0x0A, 0x03, 0x00, 0x00, 0x00, 0x0B}},
      {"PageLengthZeroEndsTheWalk", 6, {0x0F, 0, 0, 0, 0x08, 0x00, 0x0D, 0x06, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"PageLengthByteOutsideTheAnswer", 6, {0x04, 0, 0, 0, 0x08}},
      // Write protect and DPO/FUA only for a direct-access device: bits 5-0 of INQUIRY byte 1.
      {"DescriptorPeripheralQualifierSet", 6, kDescriptorOnly, {0x05, 0x80}},
      {"DescriptorNotDirectAccess", 6, kDescriptorOnly, {0x00, 0x01}},
      {"DescriptorShortInquiry", 6, kDescriptorOnly, {0x00}},
      {"DescriptorNoInquiry", 6, kDescriptorOnly, {}},
      // No section for a mode data length of 0 or above 4096, or an answer shorter than its header.
      {"ModeDataLength0", 6, {0x00, 0x00, 0x00, 0x00}},
      {"ModeDataLength4097", 10, test::Placed(16, 0, {0x10, 0x01})},
      {"ModeDataLengthFFFF", 10, test::Placed(16, 0, {0xFF, 0xFF})},
      {"ShorterThanTheHeader", 10, {0x00, 0x10, 0x00}},
  };
  test::NamedTexts texts;
  for (const auto& c : cases) {
    DriveReport report;
    AddModeSenseAnswer(report, c.command, c.answer, c.inquiry);
    texts.emplace_back(c.name, test::Rendered(report));
  }
  test::ExpectGoldenCases("mode_sense.txt", texts);
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

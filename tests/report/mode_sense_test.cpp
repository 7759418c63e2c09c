// MODE SENSE answers: header, block descriptor and the walk over pages, then each decoded page.
#include "report/mode_pages.h"
#include "report/mode_sense.h"

#include <gtest/gtest.h>

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
      // No section for a mode data length of 0 or above 4096, or an answer shorter than its header.
      {"ModeDataLength0", 6, {0x00, 0x00, 0x00, 0x00}},
      {"ModeDataLength4097", 10, test::Placed(16, 0, {0x10, 0x01})},
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
      {"empty page after descriptor", test::Placed(32, 0, {0x1F, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8}), true},
      {"page present", test::Placed(32, 0, {0x1F, 0, 0, 0, 0x01, 0x0A}), false},
      {"code without length", test::Placed(32, 0, {0x1F, 0, 0, 0, 0x01, 0x00}), false},
      {"length without code", test::Placed(32, 0, {0x1F, 0, 0, 0, 0x00, 0x02}), false},
      {"no header", {0x1F, 0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(ModeSense6AnswerIsEmpty(c.answer), c.empty) << c.name;
}

// Each decoded page with set and clear bits, signed values and units (0Dh, 1Ah, 2Ah with descriptors: the
// presets' info goldens). The expected lines: golden/mode_pages.txt.
TEST(DecodeModePage, EveryDecodedPageGivesItsLines) {
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
    {"ErrorRecovery", {0x01,10, 0xC5,3,0,0xFE,0x80,0,5,0,0x0B,0xB8}},
    {"DisconnectReconnect", {0x02,14, 0x80,0x40,0x01,0x00,0x00,0x20,0x00,0x00,0x10,0x00,0xFD,0x00,0x04,0x00}},
    {"DriveParameter", {0x04,22, 0x01,0x86,0xA0, 16, 0x01,0x86,0xA0, 0x00,0x30,0x39, 0x00,0x01, 0x01,0x86,0xA1,
                        0x02, 0xFE, 0, 0x1C,0x20, 0,0}},
    {"FlexibleDiskShort", {0x05,8, 0x01,0xF4, 2, 18, 0x02,0x00, 0x00,0x50}},
    {"FlexibleDisk", {0x05,30, 0x01,0xF4, 2, 18, 0x02,0x00, 0x00,0x50, 0,0, 0,0, 0,3, 2, 0,15, 10, 30, 0xE0, 0x01, 0,
                      5, 5, 0x13, 0x41, 0x01,0x2C, 0,0}},
    {"Caching", {0x08,10, 0x05,0x21,0xFF,0xFF,0x00,0x00,0x00,0x40,0x12,0x34}},
    {"Peripheral", {0x09,12, 0x00,0x06, 0,0,0,0,0,0, 0x41,0x42,0x43,0x44}},
    {"Control", {0x0A,10, 0xE7,0x52,0xF8,0x87, 0,0, 0x01,0x2C, 0x0E,0x10}},
    {"ControlWithoutTimes", {0x0A,4, 0x00,0x10,0x00,0x00}},
    {"MediaTypes", {0x0B,6, 0,0, 0x10,0x20,0x30,0x40}},
    {"Notch", {0x0C,22, 0xC0,0, 0,8, 0,1, 0,0,0x10,0, 0x00,0x01,0x86,0xA0, 0x00,0x00,0x00,0x00,0x00,0x00,0x01,0x02}},
    {"CapabilitiesWithoutDescriptors",
     {0x2A,20, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60,0,0xFF,0x02,0,0x0B,0x40,0,0x3C,0x15,0x88,0x11,0x60}},
    // The count claims 200 descriptors, the page holds two; a count of 0 gives no block line.
    {"CapabilitiesCountBeyondPage", test::Placed(40, 0, {0x2A,38, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60,
                                                         0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
                                                         0,200, 0,0,0x0B,0x08, 0,1,0x05,0x84})},
    {"CapabilitiesCountZero", test::Placed(44, 0, {0x2A,42})},
    // A loading mechanism name too long for column 56 follows its label.
    {"CapabilitiesChangerWithMagazine", test::Placed(22, 0, {0x2A,20, 0,0,0,0, 5 << 5})},
  };
  test::NamedTexts texts;
  for (const auto& [name, page] : cases) {
    std::string text;
    EXPECT_EQ(DecodeModePage(text, page), 0) << name;
    texts.emplace_back(name, text);
  }
  test::ExpectGoldenCases("mode_pages.txt", texts);
}

TEST(DecodeModePage, PagesTooShortOrWithoutDecoderAreRefused) {
  // Page lengths one below what each decoder needs; then pages that have no decoder.
  const std::vector<std::pair<uint8_t, uint8_t>> cases = {
      {0x01, 9},  {0x02, 13}, {0x04, 21}, {0x05, 7},  {0x08, 9},  {0x09, 6},  {0x0A, 3},  {0x0B, 5},  {0x0C, 21},
      {0x0D, 5},  {0x1A, 9},  {0x2A, 19}, {0x00, 38}, {0x03, 38}, {0x0E, 38}, {0x2B, 38}, {0x3F, 38}};
  for (const auto& [code, pageLength] : cases) {
    std::vector<uint8_t> page(size_t{pageLength} + 2, 0xFF);
    page[0] = code;
    page[1] = pageLength;
    std::string text;
    EXPECT_EQ(DecodeModePage(text, page), -1) << std::hex << int{code};
    EXPECT_EQ(text, "") << std::hex << int{code};
    if (pageLength == 38) {
      EXPECT_EQ(ModePageTitle(code), nullptr) << int{code};
    }
  }
}

// Length 21 is refused (the 2Ah row above); lengths up to 31 stop after the write speeds.
TEST(DecodeCapabilitiesPage, LengthsTo31StopAfterTheWriteSpeeds) {
  const std::string last = "Current Write Speed                                    0kBps\r\n";
  for (size_t length = 22; length < 32; ++length) {
    std::string text;
    ASSERT_EQ(DecodeCapabilitiesPage(text, std::vector<uint8_t>(length, 0)), 0) << length;
    EXPECT_EQ(text.substr(text.size() - last.size()), last) << length;
  }
}

}  // namespace
}  // namespace orv

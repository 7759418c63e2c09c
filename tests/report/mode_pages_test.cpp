#include "report/mode_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

// One fixture per decoded page, each with set and clear bits, a signed value or a unit where
// the page has one, so that a wrong bit, column, label or unit changes a line. The expected
// lines are in golden/mode_pages.txt.
TEST(DecodeModePage, EveryDecodedPageGivesItsLines) {
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
    {"ErrorRecovery", {0x01,10, 0xC5,3,0,0xFE,0x80,0,5,0,0x0B,0xB8}},
    {"DisconnectReconnect", {0x02,14, 0x80,0x40,0x01,0x00,0x00,0x20,0x00,0x00,0x10,0x00,0xFD,0x00,0x04,0x00}},
    {"DriveParameter", {0x04,22, 0x01,0x86,0xA0, 16, 0x01,0x86,0xA0, 0x00,0x30,0x39, 0x00,0x01, 0x01,0x86,0xA1, 0x02, 0xFE, 0, 0x1C,0x20, 0,0}},
    {"FlexibleDiskShort", {0x05,8, 0x01,0xF4, 2, 18, 0x02,0x00, 0x00,0x50}},
    {"FlexibleDisk", {0x05,30, 0x01,0xF4, 2, 18, 0x02,0x00, 0x00,0x50, 0,0, 0,0, 0,3, 2, 0,15, 10, 30, 0xE0, 0x01, 0, 5, 5, 0x13, 0x41, 0x01,0x2C, 0,0}},
    {"Caching", {0x08,10, 0x05,0x21,0xFF,0xFF,0x00,0x00,0x00,0x40,0x12,0x34}},
    {"Peripheral", {0x09,12, 0x00,0x06, 0,0,0,0,0,0, 0x41,0x42,0x43,0x44}},
    {"Control", {0x0A,10, 0xE7,0x52,0xF8,0x87, 0,0, 0x01,0x2C, 0x0E,0x10}},
    {"ControlWithoutTimes", {0x0A,4, 0x00,0x10,0x00,0x00}},
    {"MediaTypes", {0x0B,6, 0,0, 0x10,0x20,0x30,0x40}},
    {"Notch", {0x0C,22, 0xC0,0, 0,8, 0,1, 0,0,0x10,0, 0x00,0x01,0x86,0xA0, 0x00,0x00,0x00,0x00,0x00,0x00,0x01,0x02}},
    {"CdDevice", {0x0D,6, 0,0x0B, 0,60, 0,75}},
    {"PowerCondition", {0x1A,10, 0x03,0, 0,0,0x0B,0xB8, 0x00,0x01,0x86,0xA0}},
    {"CapabilitiesWithoutDescriptors", {0x2A,20, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60,0,0xFF,0x02,0,0x0B,0x40,0,0x3C,0x15,0x88,0x11,0x60}},
    {"CapabilitiesWithDescriptors", {0x2A,42, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60,0,0xFF,0x02,0,0x0B,0x40,0,0x3C,0x15,0x88,0x11,0x60, 0,1, 0,0,0,0x01, 0x11,0x60, 0,3, 0,0,0x15,0x88, 0,1,0x11,0x60, 0,2,0x05,0x84}},
    // The count claims 200 descriptors, the page holds two; a count of 0 gives no block line.
    {"CapabilitiesCountBeyondPage", test::Placed(40, 0, {0x2A,38, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60, 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0, 0,200, 0,0,0x0B,0x08, 0,1,0x05,0x84})},
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

TEST(DecodeCapabilitiesPage, Length21IsRefusedAndLengthsTo31StopAfterTheWriteSpeeds) {
  const std::string last = "Current Write Speed                                    0kBps\r\n";
  for (size_t length = 21; length < 32; ++length) {
    std::string text;
    const int rc = DecodeCapabilitiesPage(text, std::vector<uint8_t>(length, 0));
    if (length == 21) {
      EXPECT_EQ(rc, -1);
      EXPECT_EQ(text, "");
    } else {
      ASSERT_EQ(rc, 0) << length;
      EXPECT_EQ(text.substr(text.size() - last.size()), last) << length;
    }
  }
}

}  // namespace
}  // namespace orv

#include "report/mode_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <iterator>
#include <map>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;

struct PageCase {
  const char* name;
  std::vector<uint8_t> page;
};

// One fixture per decoded page, each with set and clear bits, a signed value or a unit where
// the page has one, so that a wrong bit, column, label or unit changes a line. The expected
// lines are in golden/mode_pages.txt, each page under "== name".
const PageCase kPageCases[] = {
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
};

TEST(DecodeModePage, EveryDecodedPageGivesItsLines) {
  const std::map<std::string, std::string> expected = test::GoldenSections("mode_pages.txt");
  ASSERT_EQ(expected.size(), std::size(kPageCases));
  for (const PageCase& c : kPageCases) {
    std::string text;
    EXPECT_EQ(DecodeModePage(text, c.page), 0) << c.name;
    ASSERT_EQ(expected.count(c.name), 1u) << c.name;
    EXPECT_EQ(text, expected.at(c.name)) << c.name;
  }
}

TEST(DecodeModePage, PageShorterThanItsMinimumIsNotDecoded) {
  const struct {
    uint8_t code;
    uint8_t pageLength;  // one below what the decoder needs
  } cases[] = {{0x01, 9},  {0x02, 13}, {0x04, 21}, {0x05, 7},  {0x08, 9},  {0x09, 6},
               {0x0A, 3},  {0x0B, 5},  {0x0C, 21}, {0x0D, 5},  {0x1A, 9},  {0x2A, 19}};
  for (const auto& c : cases) {
    std::vector<uint8_t> page(size_t{c.pageLength} + 2, 0xFF);
    page[0] = c.code;
    page[1] = c.pageLength;
    std::string text;
    EXPECT_EQ(DecodeModePage(text, page), -1) << std::hex << int{c.code};
    EXPECT_EQ(text, "") << std::hex << int{c.code};
  }
}

TEST(DecodeModePage, PagesWithoutDecoderAreRefused) {
  for (uint8_t code : {0x00, 0x03, 0x07, 0x0E, 0x2B, 0x3F}) {
    std::vector<uint8_t> page(40, 0);
    page[0] = code;
    page[1] = 38;
    std::string text;
    EXPECT_EQ(DecodeModePage(text, page), -1) << int{code};
    EXPECT_EQ(ModePageTitle(code), nullptr) << int{code};
  }
}

TEST(DecodeCapabilitiesPage, Length21IsRefusedAndLength22Decoded) {
  std::vector<uint8_t> page(21, 0);
  std::string text;
  EXPECT_EQ(DecodeCapabilitiesPage(text, page), -1);
  EXPECT_EQ(text, "");
  page.push_back(0);
  EXPECT_EQ(DecodeCapabilitiesPage(text, page), 0);
  EXPECT_EQ(text.find("Copy Management"), std::string::npos);
  EXPECT_NE(text.find("Current Write Speed "), std::string::npos);
}

TEST(DecodeCapabilitiesPage, LengthsBetween22And31StopAfterTheWriteSpeeds) {
  for (size_t length = 22; length < 32; ++length) {
    std::vector<uint8_t> page(length, 0);
    std::string text;
    ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0) << length;
    EXPECT_EQ(text.substr(text.size() - 2 - 56 - 4), "Current Write Speed                                    0kBps\r\n")
        << length;
  }
}

TEST(DecodeCapabilitiesPage, DescriptorCountIsCutAtThePageEnd) {
  // The count claims 200 descriptors; the page holds two.
  std::vector<uint8_t> page = test::Placed(40, 30, {0, 200, 0, 0, 0x0B, 0x08, 0, 1, 0x05, 0x84});
  std::string text;
  ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0);
  EXPECT_NE(text.find(Lines({"Write Speed Performance Desciptor #                  200",
                             "    Block #  1 CLV & Non-pure CAV                  2,824",
                             "    Block #  2           Pure CAV                  1,412"})),
            std::string::npos);
  EXPECT_EQ(text.find("Block #  3"), std::string::npos);
}

TEST(DecodeCapabilitiesPage, DescriptorCountOfZeroGivesNoBlockLine) {
  std::vector<uint8_t> page(44, 0);
  std::string text;
  ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0);
  EXPECT_EQ(text.find("Block #"), std::string::npos);
}

TEST(DecodeCapabilitiesPage, LoadingMechanismNamesEndAtColumn56) {
  const struct {
    uint8_t type;
    const char* line;
  } cases[] = {
      {0, "Loading Mechanism Type:     Caddy type loading mechanism"},
      {4, "Loading Mechanism Type: Changer with individually changeable discs"},
      {5, "Loading Mechanism Type: Changer using a Magazine mechanism"},
      {7, "Loading Mechanism Type:                           Type 7"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> page(22, 0);
    page[6] = static_cast<uint8_t>(c.type << 5);
    std::string text;
    ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0);
    EXPECT_NE(text.find(std::string("\r\n") + c.line + "\r\n"), std::string::npos) << int{c.type};
  }
}

}  // namespace
}  // namespace orv

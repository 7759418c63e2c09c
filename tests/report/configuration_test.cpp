#include "report/configuration.h"

#include <gtest/gtest.h>

#include "report/surface_picture.h"
#include "report_test_util.h"

namespace orv {
namespace {

// The "x" scale of the speed pictures: the current profile's medium; for a CD/DVD drive naming none, the
// disc's size (360,000 sectors fit a CD, 2,295,104 do not). Expected sections: golden/configuration.txt.
TEST(SingleSpeedOf, TheCurrentProfileDecides) {
  struct Row {
    const char* name;
    uint8_t deviceType;
    uint16_t profile;
    uint64_t blocks;
    uint64_t bytesPerSecond;
  } rows[] = {
      {"CD-R", 5, 0x0009, 2295104, 153600},   {"DVD-RAM", 5, 0x0012, 1000, 1385000},
      {"DVD+R DL", 5, 0x002B, 1000, 1385000}, {"BD-RE", 5, 0x0043, 1000, 4495500},
      {"HD DVD-ROM", 5, 0x0050, 1000, 0},     {"no profile, small", 5, 0, 360000, 153600},
      {"no profile, large", 5, 0, 2295104, 1385000}, {"disk", 0, 0x0012, 2295104, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(SingleSpeedOf(r.deviceType, r.profile, r.blocks), r.bytesPerSecond) << r.name;
}

TEST(AddConfigurationAnswer, HeadAndOneSectionPerFeature) {
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      // Current profile DVD-RAM; a profile list of length 10 (its third descriptor is read whole
      // and takes two bytes of the next header), the core feature with ATAPI, a feature of
      // length 0, a core feature too short for its interface field, a feature shown as a dump,
      // an unnamed feature.
      {"Features", {0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x12,  // 52 bytes follow
                    0x00, 0x00, 0x03, 0x0A, 0x00, 0x12, 0x01, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08,
                    0x00, 0x01, 0x0B, 0x08, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,  // core, ATAPI
                    0x00, 0x02, 0x07, 0x00,                                                  // morphing, length 0
                    0x00, 0x01, 0x03, 0x02, 0xAA, 0xBB,                                      // core, length 2
                    0x01, 0x07, 0x03, 0x04, 0x0F, 0x00, 0x00, 0x00,                          // real-time streaming
                    0x12, 0x34, 0x03, 0x00}},                                                // no name
      // Interface standards with and without a name.
      {"InterfaceUsb", {0, 0, 0, 12, 0, 0, 0, 0, 0x00, 0x01, 0x03, 0x04, 0, 0, 0, 8}},
      {"InterfaceUnnamed", {0, 0, 0, 12, 0, 0, 0, 0, 0x00, 0x01, 0x03, 0x04, 0, 0, 0xFF, 0xFF}},
      // The drive claims 4000 bytes; 16 arrived. The last descriptor claims 8 bytes and has 2.
      {"DataLengthBeyondTheAnswer", {0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x00, 0x08,
                                     0x00, 0x03, 0x03, 0x08, 0x29, 0x00, 0x00, 0x00}},
      {"DescriptorHeaderCutByTheAnswer", {0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x08, 0x00, 0x03, 0x03}},
      // No section for a data length of 0 or an answer shorter than its header.
      {"DataLength0", test::Placed(64, 8, {0x00, 0x00, 0x03, 0x04, 0x00, 0x12, 0x01, 0x00})},
      {"ShorterThanTheHeader", {0x00, 0x00, 0x00}},
  };
  test::NamedTexts texts;
  for (const auto& [name, answer] : cases) {
    DriveReport report;
    AddConfigurationAnswer(report, answer);
    texts.emplace_back(name, test::Rendered(report));
  }
  test::ExpectGoldenCases("configuration.txt", texts);
}

}  // namespace
}  // namespace orv

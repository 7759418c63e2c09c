#include "report/configuration.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;
using test::Titles;

const char kDumpHeading[] = "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------";

// Current profile DVD-RAM; a profile list of length 10 (its third descriptor is read whole and
// takes two bytes of the next header), the core feature with ATAPI, a feature of length 0, a core
// feature too short for its interface field, a feature shown as a dump, an unnamed feature.
const std::vector<uint8_t> kAnswer = {
    0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x12,                          // 52 bytes follow
    0x00, 0x00, 0x03, 0x0A, 0x00, 0x12, 0x01, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08,
    0x00, 0x01, 0x0B, 0x08, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,  // core, ATAPI
    0x00, 0x02, 0x07, 0x00,                                                  // morphing, length 0
    0x00, 0x01, 0x03, 0x02, 0xAA, 0xBB,                                      // core, length 2
    0x01, 0x07, 0x03, 0x04, 0x0F, 0x00, 0x00, 0x00,                          // real-time streaming
    0x12, 0x34, 0x03, 0x00};                                                 // no name

TEST(AddConfigurationAnswer, HeadAndOneSectionPerFeature) {
  DriveReport report;
  AddConfigurationAnswer(report, kAnswer);
  ASSERT_EQ(Titles(report),
            (std::vector<std::string>{"Configuration", "  0000H Profile List Feature", "  0001H Core Feature",
                                      "  0002H Morphing Feature", "  0001H Core Feature",
                                      "  0107H Real Time Steaming Feature", "  FeatureCode 1234H"}));
  EXPECT_EQ(report.Row(0).text,
            Lines({"Configuration (length:52) : Profile 0012H DVD-RAM", "", kDumpHeading,
                   "0000-0000  00 00 00 34 00 00 00 12 - 00 00 03 0A 00 12 01 00  ...4............",
                   "0000-0010  00 10 00 00 00 08 00 01 - 0B 08 00 00 00 02 00 00  ................",
                   "0000-0020  00 00 00 02 07 00 00 01 - 03 02 AA BB 01 07 03 04  ..........\xAA\xBB....",
                   "0000-0030  0F 00 00 00 12 34 03 00 -                          .....4..        "}));
  EXPECT_EQ(report.Row(1).text, Lines({"FeatureCode 0000H (length  10) : Profile List Feature",
                                       "Profile Number 0012H DVD-RAM", "Profile Number 0010H DVD-ROM",
                                       "Profile Number 0008H CD-ROM"}));
  EXPECT_EQ(report.Row(2).text, Lines({"FeatureCode 0001H (length   8) : Core Feature",
                                       "Physical Interface Standard                     00000002H ATAPI"}));
  EXPECT_EQ(report.Row(3).text, Lines({"FeatureCode 0002H (length   0) : Morphing Feature"}));
  EXPECT_EQ(report.Row(4).text, Lines({"FeatureCode 0001H (length   2) : Core Feature", kDumpHeading,
                                       "0000-0000  AA BB                   -                          \xAA\xBB              "}));
  EXPECT_EQ(report.Row(5).text, Lines({"FeatureCode 0107H (length   4) : Real Time Steaming Feature", kDumpHeading,
                                       "0000-0000  0F 00 00 00             -                          ....            "}));
  EXPECT_EQ(report.Row(6).text, Lines({"FeatureCode 1234H (length   0) : "}));
  for (size_t row = 0; row < report.RowCount(); ++row) {
    EXPECT_EQ(report.Row(row).kind, kSectionConfiguration) << row;
    EXPECT_EQ(report.Row(row).subKind, row == 0 ? kSectionHead : kSectionChild) << row;
  }
}

TEST(AddConfigurationAnswer, DataLengthZeroAddsNothing) {
  DriveReport report;
  AddConfigurationAnswer(report, test::Placed(64, 8, {0x00, 0x00, 0x03, 0x04, 0x00, 0x12, 0x01, 0x00}));
  AddConfigurationAnswer(report, std::vector<uint8_t>{0x00, 0x00, 0x00});
  EXPECT_EQ(report.RowCount(), 0u);
}

TEST(AddConfigurationAnswer, InterfaceValuesWithoutNameLeaveTheNameEmpty) {
  const struct {
    uint32_t value;
    const char* line;
  } cases[] = {
      {0, "Physical Interface Standard                     00000000H Unspecified"},
      {8, "Physical Interface Standard                     00000008H USB"},
      {9, "Physical Interface Standard                     00000009H "},
      {0xFFFF, "Physical Interface Standard                     0000FFFFH "},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> answer = {0, 0, 0, 12, 0, 0, 0, 0, 0x00, 0x01, 0x03, 0x04, 0, 0, 0, 0};
    answer[12] = static_cast<uint8_t>(c.value >> 24);
    answer[13] = static_cast<uint8_t>(c.value >> 16);
    answer[14] = static_cast<uint8_t>(c.value >> 8);
    answer[15] = static_cast<uint8_t>(c.value);
    DriveReport report;
    AddConfigurationAnswer(report, answer);
    ASSERT_EQ(report.RowCount(), 2u);
    EXPECT_EQ(report.Row(1).text, Lines({"FeatureCode 0001H (length   4) : Core Feature", c.line})) << c.value;
  }
}

TEST(AddConfigurationAnswer, DataLengthBeyondTheAnswerIsFollowedOnlyAsFarAsReceived) {
  // The drive claims 4000 bytes; 16 arrived. The last descriptor claims 8 bytes and has 2.
  const std::vector<uint8_t> answer = {0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x00, 0x08,
                                       0x00, 0x03, 0x03, 0x08, 0x29, 0x00, 0x00, 0x00};
  DriveReport report;
  AddConfigurationAnswer(report, answer);
  ASSERT_EQ(Titles(report), (std::vector<std::string>{"Configuration", "  0003H Removable Medium Feature"}));
  EXPECT_EQ(report.Row(0).text.substr(0, 48), "Configuration (length:4000) : Profile 0008H CD-R");
  EXPECT_EQ(report.Row(0).text.find("0000-0010"), std::string::npos);
  EXPECT_EQ(report.Row(1).text, Lines({"FeatureCode 0003H (length   8) : Removable Medium Feature", kDumpHeading,
                                       "0000-0000  29 00 00 00             -                          )...            "}));
}

TEST(AddConfigurationAnswer, DescriptorHeaderCutByTheAnswerEndsTheWalk) {
  const std::vector<uint8_t> answer = {0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x08, 0x00, 0x03, 0x03};
  DriveReport report;
  AddConfigurationAnswer(report, answer);
  EXPECT_EQ(Titles(report), (std::vector<std::string>{"Configuration"}));
}

TEST(FeatureNames, NamesStandAsTheDriveListShowsThem) {
  const struct {
    uint16_t code;
    const char* name;
  } cases[] = {{0x0000, "Profile List Feature"},
               {0x0021, "Incremental Streaming Writable"},
               {0x0028, "The MRW Feature"},
               {0x0107, "Real Time Steaming Feature"},
               {0x010C, "Firmware Information"},
               {0x0033, ""},
               {0xFFFF, ""}};
  for (const auto& c : cases) EXPECT_STREQ(FeatureName(c.code), c.name) << c.code;
}

TEST(ProfileNames, KnownAndUnknownProfiles) {
  const struct {
    uint16_t profile;
    const char* name;
  } cases[] = {{0x0000, "No Current Profile"}, {0x0012, "DVD-RAM"}, {0x001B, "DVD+R"},
               {0x0022, "DDCD-RW"},            {0x0040, ""},        {0xFFFF, ""}};
  for (const auto& c : cases) EXPECT_STREQ(ProfileName(c.profile), c.name) << c.profile;
}

}  // namespace
}  // namespace orv

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "app/drive_list_rules.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

// A record with 36 bytes of inquiry data and the given capacity.
DriveRecord Record(uint8_t peripheral, bool removable, uint8_t version, uint32_t driveType,
                   uint32_t blocks, uint32_t blockLength) {
  DriveRecord record;
  record.sourceKind = kSourceDriveLetter;
  record.name = "E:";
  record.driveType = driveType;
  std::vector<uint8_t>& inquiry = record.unit.inquiryData;
  inquiry.assign(36, ' ');
  inquiry[0] = peripheral;
  inquiry[1] = removable ? 0x80 : 0x00;
  inquiry[2] = version;
  std::memcpy(inquiry.data() + 8, "MAKER   DVD-RAM DRIVE   A100", 28);
  PutBe32(record.capacity.data(), blocks);
  PutBe32(record.capacity.data() + 4, blockLength);
  return record;
}

TEST(DriveListRules, TypeColumnFollowsTheInquiryVersion) {
  struct Case {
    uint8_t peripheral, version;
    uint32_t driveType;
    const char* text;
  } cases[] = {
      {5, 0, 5, "CD/DVD-ROM Drive"},      // ATAPI: the system's drive type
      {5, 2, 5, "CD/DVD-ROM device"},     // SCSI-2: the device type name
      {0, 3, 3, "Direct access device"},
      {0, 4, 3, "Fixed Drive"},           // neither low bit set
      {0x25, 2, 3, "CD/DVD-ROM device"},  // qualifier bits do not count
      {0x1F, 2, 0, "Unkown 1F"},
      {5, 0, 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceOrDriveTypeText(Record(c.peripheral, true, c.version, c.driveType, 1, 2048)), c.text)
        << "type " << int{c.peripheral} << " version " << int{c.version} << " drive " << c.driveType;
  }
}

// The full row texts are proven on the virtual drives (the console scan, the main window).
TEST(DriveListRules, SizeIsEmptyWithoutMediumOrBlockLength) {
  EXPECT_EQ(DriveRow(Record(5, true, 0, 5, 0, 2048)).size, "");
  EXPECT_EQ(DriveRow(Record(5, true, 0, 5, 100, 0)).size, "");
}

TEST(DriveListRules, ShortInquiryDataReadsNoFurther) {
  DriveRecord record = Record(5, true, 2, 5, 1, 2048);
  record.unit.inquiryData.resize(2);  // byte 2 (version) missing: counts as ATAPI
  EXPECT_EQ(DeviceOrDriveTypeText(record), "CD/DVD-ROM Drive");
  EXPECT_EQ(RemovableText(record), std::string("RMB"));
  record.unit.inquiryData.clear();
  EXPECT_EQ(RemovableText(record), std::string("FIX"));
}

TEST(DriveListRules, CommandsAChosenDriveAllows) {
  struct Case {
    const char* what;
    bool chosen, removable;
    uint32_t blocks, blockLength;
    DriveCommandState want;
  } cases[] = {
      {"nothing chosen", false, true, 1000, 2048, {true, false, false, false, false, false}},
      {"removable with disc", true, true, 2295104, 2048, {true, true, true, true, true, true}},
      {"fixed disk", true, false, 16777216, 512, {true, true, false, false, true, true}},
      {"empty drive", true, true, 0, 0, {true, true, false, false, false, false}},
      {"block length 0", true, true, 100, 0, {true, true, false, false, false, false}},
  };
  for (const Case& c : cases) {
    const DriveRecord record = Record(5, c.removable, 0, 5, c.blocks, c.blockLength);
    auto bits = [](const DriveCommandState& s) {
      return std::array<bool, 6>{s.search, s.information, s.imageWrite, s.erase, s.benchmark, s.backup};
    };
    EXPECT_EQ(bits(CommandState(c.chosen ? &record : nullptr)), bits(c.want)) << c.what;
  }
}

}  // namespace
}  // namespace orv

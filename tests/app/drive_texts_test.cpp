// The drive list's texts and the summary text beyond the presets (the console's scan and summary hold
// theirs; the commands a drive allows are the main window's test): sizes, type column, free space.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "app/drive_list_rules.h"
#include "app/drive_summary.h"
#include "app/size_text.h"
#include "device/mbr_builder.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

TEST(FormatSize, UnitSwitchPointsAndTruncation) {
  const struct {
    int64_t value;
    const char* expected;
  } cases[] = {
      {999, " 999.0B"},
      {1000, "   1.0k"},
      {999999, " 999.9k"},
      {1000000, "   1.0M"},
      {1000000000000, "   1.0T"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSize(c.value), c.expected) << "value " << c.value;
  }
}

// The text and its terminator fill at most eight bytes; out of range, the text is empty.
TEST(FormatSize, OutOfRangeLeavesAnEmptyTextAndNothingPassesEightBytes) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  FormatSize(buffer, 999999999999999);
  EXPECT_EQ(std::string(buffer, 9), std::string(" 999.9T\0x", 9));
  constexpr int64_t kValues[] = {1000000000000000, std::numeric_limits<int64_t>::max(), -1,
                                 std::numeric_limits<int64_t>::min()};
  for (const int64_t value : kValues) {
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FormatSize(buffer, value), buffer);
    EXPECT_STREQ(buffer, "") << "value " << value;
    EXPECT_EQ(buffer[1], 'x') << "value " << value;
  }
}

// A removable drive's record with 36 bytes of inquiry data.
DriveRecord Record(uint8_t peripheral, uint8_t version, uint32_t driveType) {
  DriveRecord record;
  record.sourceKind = kSourceDriveLetter;
  record.name = "E:";
  record.driveType = driveType;
  std::vector<uint8_t>& inquiry = record.unit.inquiryData;
  inquiry.assign(36, ' ');
  inquiry[0] = peripheral;
  inquiry[1] = 0x80;
  inquiry[2] = version;
  std::memcpy(inquiry.data() + 8, "MAKER   DVD-RAM DRIVE   A100", 28);
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
      {0, 4, 3, "Fixed Drive"},           // neither low bit set
      {0x25, 2, 3, "CD/DVD-ROM device"},  // qualifier bits do not count
      {0x1F, 2, 0, "Unkown 1F"},
      {5, 0, 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceOrDriveTypeText(Record(c.peripheral, c.version, c.driveType)), c.text)
        << "type " << int{c.peripheral} << " version " << int{c.version} << " drive " << c.driveType;
  }
}

TEST(DriveListRules, ShortInquiryDataReadsNoFurther) {
  DriveRecord record = Record(5, 2, 5);
  record.unit.inquiryData.resize(2);  // byte 2 (version) missing: counts as ATAPI
  EXPECT_EQ(DeviceOrDriveTypeText(record), "CD/DVD-ROM Drive");
  EXPECT_EQ(RemovableText(record), std::string("RMB"));
  record.unit.inquiryData.clear();
  EXPECT_EQ(RemovableText(record), std::string("FIX"));
}

using test::Disk;
using test::Slot;

DriveRecord Record(const Disk& disk) {
  DriveRecord record;
  record.sourceKind = kSourceDriveLetter;
  record.name = "E:";
  record.unit.inquiryData.assign(36, ' ');
  std::memcpy(record.unit.inquiryData.data() + 8, "ORVANE  VIRTUAL DISK    1.01", 28);
  PutBe32(record.capacity.data(), static_cast<uint32_t>(disk.blockCount));
  PutBe32(record.capacity.data() + 4, disk.blockLength);
  return record;
}

std::string Summary(Disk& disk) {
  PartitionList list;
  const int result = ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list);
  return DriveSummaryText(Record(disk), result, list);
}

TEST(DriveSummary, SingleFat32PartitionThenFreeSpace) {
  Disk disk(512, 2000000);
  disk.Mbr({Slot(0x0C, 63, 999937).Chs(0x01, 0x01, 0x00, 0xFE, 0xFF, 0xFF)});
  EXPECT_EQ(Summary(disk),  // the free-space line under the CHS columns
            "E: ORVANE   VIRTUAL DISK     1.01\r\n"
            "    容量 2,000,000×512 = 1,024,000,000バイト (   1.0G)\r\n"
            " No [開始 CHS - 終了 CHS] 開始セクタ   セクタ数 HH:パーティション\r\n"
            "  1 [000 01 01-3FF FE 3F]         63     999937 0C:FAT32 LBA             511.9M\r\n"
            "                             1000000    1000000   :（未使用）\r\n");
}

// What is no table (boot sectors, two extended slots) is the partition reader's test.
TEST(DriveSummary, NoTableShowsNameIdentificationAndCapacityOnly) {
  Disk disk(512, 1000);
  EXPECT_EQ(Summary(disk), "E: ORVANE   VIRTUAL DISK     1.01\r\n    容量 1,000×512 = 512,000バイト ( 512.0k)\r\n");
}

// No capacity: the first line only (the empty preset's in the console's summary), here of a later unit.
TEST(DriveSummary, NoCapacityShowsTheFirstLineOnly) {
  Disk disk(512, 0);
  DriveRecord record = Record(disk);
  record.name.clear();  // a later unit behind one letter
  EXPECT_EQ(DriveSummaryText(record, -1, {}), " ORVANE   VIRTUAL DISK     1.01\r\n");
}

}  // namespace
}  // namespace orv

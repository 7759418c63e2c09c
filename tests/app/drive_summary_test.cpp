// The summary text away from the presets (the console summary holds the presets' whole texts):
// a table that leaves free space, no table, no capacity.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/drive_summary.h"
#include "device/mbr_builder.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

using test::Disk;
using test::Slot;

// The free-space line starts with 26 spaces, under the CHS columns.
const std::string kFree(26, ' ');

const char kHeader[] = " No [開始 CHS - 終了 CHS] 開始セクタ   セクタ数 HH:パーティション\r\n";

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
  EXPECT_EQ(Summary(disk),
            std::string("E: ORVANE   VIRTUAL DISK     1.01\r\n"
                        "    容量 2,000,000×512 = 1,024,000,000バイト (   1.0G)\r\n") +
                kHeader +
                "  1 [000 01 01-3FF FE 3F]         63     999937 0C:FAT32 LBA             511.9M\r\n" +
                kFree + "   1000000    1000000   :（未使用）\r\n");
}

TEST(DriveSummary, NoTableShowsNameIdentificationAndCapacityOnly) {
  struct Case {
    const char* what;
    std::function<void(Disk&)> make;
  } cases[] = {
      {"volume boot sector", [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); d.blocks[0][0] = 0xEB; }},
      {"blank medium", [](Disk&) {}},
      {"two extended slots", [](Disk& d) { d.Mbr({Slot(0x05, 100, 100), Slot(0x05, 300, 100)}); }},
  };
  for (const Case& c : cases) {
    Disk disk(512, 1000);
    c.make(disk);
    EXPECT_EQ(Summary(disk),
              "E: ORVANE   VIRTUAL DISK     1.01\r\n"
              "    容量 1,000×512 = 512,000バイト ( 512.0k)\r\n")
        << c.what;
  }
}

TEST(DriveSummary, NoCapacityShowsTheFirstLineOnly) {
  Disk disk(512, 0);
  DriveRecord record = Record(disk);
  EXPECT_EQ(DriveSummaryText(record, -1, {}), "E: ORVANE   VIRTUAL DISK     1.01\r\n");
  record.name.clear();  // a later unit behind one letter
  EXPECT_EQ(DriveSummaryText(record, -1, {}), " ORVANE   VIRTUAL DISK     1.01\r\n");
}

}  // namespace
}  // namespace orv

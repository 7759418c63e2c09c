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

TEST(DriveSummary, ExtendedChainShowsPrimariesAndLogicalsButNoLinks) {
  Disk disk(512, 20000);
  disk.Mbr({Slot(0x06, 63, 1000).Boot(), Slot(0x0F, 2048, 10000).Chs(0x00, 0xC1, 0x02, 0x10, 0x20, 0x30)});
  disk.Table(2048, {Slot(0x83, 63, 3000), Slot(0x05, 4096, 5000)});
  disk.Table(6144, {Slot(0x07, 63, 4000)});
  EXPECT_EQ(Summary(disk),
            std::string("E: ORVANE   VIRTUAL DISK     1.01\r\n"
                        "    容量 20,000×512 = 10,240,000バイト (  10.2M)\r\n") +
                kHeader +
                "* 1 [000 01 01-3FF FE 3F]         63       1000 06:FAT16 (>=32M)         512.0k\r\n"
                "  2 [302 00 01-030 10 20]       2048      10000 0F:Extended LBA            5.1M\r\n"
                "  5 [000 01 01-3FF FE 3F]       2111       3000 83:Linix native            1.5M\r\n"
                "  6 [000 01 01-3FF FE 3F]       6207       4000 07:NTFS                    2.0M\r\n" +
                kFree + "     12048       7952   :（未使用）\r\n");
}

TEST(DriveSummary, TwoKilobyteBlocksAndExactEnd) {
  Disk disk(2048, 2295104);
  disk.Mbr({Slot(0x0C, 63, 2295041)});
  EXPECT_EQ(Summary(disk),
            std::string("E: ORVANE   VIRTUAL DISK     1.01\r\n"
                        "    容量 2,295,104×2,048 = 4,700,372,992バイト (   4.7G)\r\n") +
                kHeader +
                "  1 [000 01 01-3FF FE 3F]         63    2295041 0C:FAT32 LBA               4.7G\r\n");
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

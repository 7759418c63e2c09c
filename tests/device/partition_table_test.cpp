#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "device/partition_table.h"
#include "device/mbr_builder.h"

namespace orv {
namespace {

using test::Disk;
using test::Slot;

TEST(PartitionTypeName, NamesAsListedAndEmptyOtherwise) {
  EXPECT_STREQ(PartitionTypeName(0x0C), "FAT32 LBA");
  EXPECT_STREQ(PartitionTypeName(0x0F), "Extended LBA");
  EXPECT_STREQ(PartitionTypeName(0x83), "Linix native");
  EXPECT_STREQ(PartitionTypeName(0x39), "Paln9");
  EXPECT_STREQ(PartitionTypeName(0x68), "Novell");
  EXPECT_STREQ(PartitionTypeName(0xFE), "NT Disk Admin hidden");
  EXPECT_STREQ(PartitionTypeName(0x0D), "");
  EXPECT_STREQ(PartitionTypeName(0xFF), "");
}

TEST(PartitionTable, SingleFat32WithFreeSpaceAfterIt) {
  Disk disk(512, 2000000);
  disk.Mbr({Slot(0x0C, 63, 999937)});
  PartitionList list;
  ASSERT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), 2);
  EXPECT_EQ(list[0].number, 0);
  EXPECT_EQ(list[0].depth, 0);
  EXPECT_EQ(list[0].start, 63u);
  EXPECT_EQ(list[0].sectorCount, 999937u);
  EXPECT_EQ(list[0].firstBlock.size(), 512u);  // the partition's first block was read
  EXPECT_EQ(list[1].number, -1);
  EXPECT_EQ(list[1].start, 1000000u);
  EXPECT_EQ(list[1].sectorCount, 1000000u);
}

TEST(PartitionTable, ExtendedChainNumbersLogicalsFromFour) {
  Disk disk(512, 20000);
  disk.Mbr({Slot(0x06, 63, 1000), Slot(0x05, 2048, 10000)});
  disk.Table(2048, {Slot(0x83, 63, 3000), Slot(0x05, 4096, 5000)});
  disk.Table(6144, {Slot(0x07, 63, 4000)});
  PartitionList list;
  ASSERT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), 6);
  struct Want {
    int32_t number, depth;
    uint64_t tableBlock, start, count;
  } want[] = {
      {0, 0, 0, 63, 1000},       {1, 1, 0, 2048, 10000},  {4, 0, 2048, 2111, 3000},
      {0, 2, 2048, 6144, 5000},  {5, 0, 6144, 6207, 4000}, {-1, 0, 0, 12048, 7952},
  };
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].number, want[i].number) << "entry " << i;
    EXPECT_EQ(list[i].depth, want[i].depth) << "entry " << i;
    EXPECT_EQ(list[i].tableBlock, want[i].tableBlock) << "entry " << i;
    EXPECT_EQ(list[i].start, want[i].start) << "entry " << i;
    EXPECT_EQ(list[i].sectorCount, want[i].count) << "entry " << i;
  }
}

TEST(PartitionTable, SlotWithRelativeStartZeroIsUnused) {
  Disk disk(512, 1000);
  disk.Mbr({Slot(0x83, 0, 500), Slot(0x0C, 63, 937)});
  PartitionList list;
  ASSERT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), 1);
  EXPECT_EQ(list[0].number, 1);  // numbered by its slot
  EXPECT_EQ(list[0].Type(), 0x0C);
}

TEST(PartitionTable, PartitionsEndingAtTheLastBlockLeaveNoFreeSpace) {
  Disk disk(512, 1000);
  disk.Mbr({Slot(0x0C, 63, 937)});
  PartitionList list;
  ASSERT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), 1);
  EXPECT_EQ(list[0].number, 0);
}

TEST(PartitionTable, LargeBlocksUseOnlyTheFirst512Bytes) {
  Disk disk(2048, 100000);
  disk.Mbr({Slot(0x0C, 16, 99984)});
  // Bytes past the first 512 must not count: a signature-like pair at the block's end and a
  // slot-like pattern there change nothing.
  disk.blocks[0][2046] = 0x00;
  disk.blocks[0][2047] = 0x00;
  disk.blocks[0][512 + 0x1BE + 8] = 0x01;
  PartitionList list;
  ASSERT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), 1);
  EXPECT_EQ(list[0].start, 16u);
  EXPECT_EQ(list[0].firstBlock.size(), 2048u);
}

TEST(PartitionTable, FailuresReturnMinusOne) {
  struct Case {
    const char* what;
    std::function<void(Disk&)> make;
  } cases[] = {
      {"no signature", [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); d.blocks[0][511] = 0; }},
      {"volume boot sector (EB)", [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); d.blocks[0][0] = 0xEB; }},
      {"volume boot sector (E9)", [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); d.blocks[0][0] = 0xE9; }},
      {"two extended slots in one table",
       [](Disk& d) { d.Mbr({Slot(0x05, 100, 100), Slot(0x0F, 300, 100)}); }},
      {"outermost extended of size 0", [](Disk& d) { d.Mbr({Slot(0x05, 100, 0)}); }},
      {"chain that loops back on itself",
       [](Disk& d) {
         d.Mbr({Slot(0x0F, 100, 800)});
         d.Table(100, {Slot(0x83, 1, 10), Slot(0x05, 200, 100)});
         d.Table(300, {Slot(0x83, 1, 10), Slot(0x05, 200, 100)});  // links to itself
       }},
      {"chain that loops back to an earlier table",
       [](Disk& d) {
         d.Mbr({Slot(0x05, 100, 800)});
         d.Table(100, {Slot(0x05, 200, 100)});
         d.Table(300, {Slot(0x05, 400, 100)});
         d.Table(500, {Slot(0x05, 200, 100)});  // back to 300
       }},
      {"partition starting past the medium", [](Disk& d) { d.Mbr({Slot(0x0C, 5000, 100)}); }},
      {"table block past the medium", [](Disk& d) { d.Mbr({Slot(0x05, 5000, 100)}); }},
      {"short read", [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); d.shortReadAt = 63; }},
  };
  for (const Case& c : cases) {
    Disk disk(512, 1000);
    c.make(disk);
    PartitionList list;
    EXPECT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), -1) << c.what;
    EXPECT_LT(disk.reads, 100) << c.what;
  }
}

TEST(PartitionTable, NoMediumOrSmallBlocksFailWithoutReading) {
  Disk disk(512, 1000);
  disk.Mbr({Slot(0x0C, 63, 100)});
  PartitionList list;
  EXPECT_EQ(ReadPartitionTable(disk.Reader(), 0, 512, list), -1);
  EXPECT_EQ(ReadPartitionTable(disk.Reader(), 1000, 256, list), -1);
  EXPECT_EQ(disk.reads, 0);
}

}  // namespace
}  // namespace orv

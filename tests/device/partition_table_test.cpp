#include <gtest/gtest.h>

#include "device/partition_table.h"
#include "device/mbr_builder.h"

namespace orv {
namespace {

using test::Disk;
using test::Slot;

// The entries of each table, in chain order, and the blocks read (the summary texts: DriveSummary.*).
TEST(PartitionTable, TablesAreReadInChainOrder) {
  struct Entry {
    int32_t number, depth;
    uint64_t tableBlock, start, count;
    bool operator==(const Entry&) const = default;
  };
  const struct {
    const char* name;
    uint32_t blockLength;
    uint64_t blockCount;
    std::function<void(Disk&)> make;
    std::vector<Entry> entries;        // number -1 is the free space after the last partition
    std::vector<uint64_t> readLbas;    // tables and data partitions' first blocks
  } cases[] = {
      // Logicals are numbered from 4; extended slots are not read as data.
      {"extended chain", 512, 20000,
       [](Disk& d) {
         d.Mbr({Slot(0x06, 63, 1000), Slot(0x05, 2048, 10000)});
         d.Table(2048, {Slot(0x83, 63, 3000), Slot(0x05, 4096, 5000)});
         d.Table(6144, {Slot(0x07, 63, 4000)});
       },
       {{0, 0, 0, 63, 1000}, {1, 1, 0, 2048, 10000}, {4, 0, 2048, 2111, 3000}, {0, 2, 2048, 6144, 5000},
        {5, 0, 6144, 6207, 4000}, {-1, 0, 0, 12048, 7952}},
       {0, 63, 2048, 2111, 6144, 6207}},
      {"slot with relative start 0 is unused, the next keeps its slot number", 512, 1000,
       [](Disk& d) { d.Mbr({Slot(0x83, 0, 500), Slot(0x0C, 63, 937)}); }, {{1, 0, 0, 63, 937}}, {0, 63}},
      // Bytes past the first 512 of a large block must not count: a zeroed "signature" at the
      // block's end and a slot-like pattern there change nothing.
      {"2048-byte blocks", 2048, 100000,
       [](Disk& d) {
         d.Mbr({Slot(0x0C, 16, 99984)});
         d.blocks[0][2046] = d.blocks[0][2047] = 0x00;
         d.blocks[0][512 + 0x1BE + 8] = 0x01;
       },
       {{0, 0, 0, 16, 99984}}, {0, 16}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Disk disk(c.blockLength, c.blockCount);
    c.make(disk);
    PartitionList list;
    ASSERT_EQ(ReadPartitionTable(disk.Reader(), disk.blockCount, disk.blockLength, list), int(c.entries.size()));
    std::vector<Entry> entries;
    for (const auto& e : list) entries.push_back({e.number, e.depth, e.tableBlock, e.start, e.sectorCount});
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(disk.readLbas, c.readLbas);
  }
}

// Bad tables; sizes no medium has (4 GiB blocks must not become a buffer) before any read.
TEST(PartitionTable, FailuresReturnMinusOne) {
  const auto fat32 = [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); };
  struct Case {
    const char* what;
    std::function<void(Disk&)> make;
    uint64_t blockCount = 1000;
    uint32_t blockLength = 512;
    int mostReads = 99;
  } cases[] = {
      {"volume boot sector (E9)", [](Disk& d) { d.Mbr({Slot(0x0C, 63, 100)}); d.blocks[0][0] = 0xE9; }},
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
      {"no medium", fat32, 0, 512, 0}, {"256-byte blocks", fat32, 1000, 256, 0},
      {"blocks of 4 GiB", fat32, 1000, 0xFFFFFFFF, 0}, {"blocks of 64 KiB + 1", fat32, 1000, 65537, 0},
  };
  for (const Case& c : cases) {
    Disk disk(512, 1000);
    c.make(disk);
    PartitionList list;
    EXPECT_EQ(ReadPartitionTable(disk.Reader(), c.blockCount, c.blockLength, list), -1) << c.what;
    EXPECT_LE(disk.reads, c.mostReads) << c.what;
  }
}

}  // namespace
}  // namespace orv

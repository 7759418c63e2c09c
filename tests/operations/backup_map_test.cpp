// The backup map is read back on resume from a file a crash, an editor or another program may
// have left: anything but whole, ordered runs over the whole disc must be refused.
#include <gtest/gtest.h>

#include "operations/backup_map.h"

namespace orv {
namespace {

TEST(BackupMap, MarksMergeAndTheTextReadsBack) {
  BackupMap map(2048, 100);
  map.Mark(10, 5, SectorState::kDone);
  map.Mark(0, 10, SectorState::kDone);
  map.Mark(12, 2, SectorState::kBad);
  map.Mark(90, 50, SectorState::kBad);  // clipped at the disc's end
  map.Mark(20, 3, SectorState::kSlow);  // a surface scan's states
  map.Mark(30, 1, SectorState::kRecovered);
  const char* text =
      "# orvane backup map: FIRST COUNT STATE (done, bad, not-tried)\nsectors 100 size 2048\n0 12 done\n12 2 bad\n"
      "14 1 done\n15 5 not-tried\n20 3 slow\n23 7 not-tried\n30 1 recovered\n31 59 not-tried\n90 10 bad\n";
  EXPECT_EQ(map.Text(), text);
  BackupMap read;
  std::string error;
  ASSERT_EQ(BackupMap::Parse(text, read, error), 0) << error;
  EXPECT_EQ(read.Runs(), map.Runs());
}

TEST(BackupMap, MalformedMapsAreRefused) {
  const std::pair<const char*, const char*> cases[] = {
      {"no size line", "0 100 done\n"},
      {"a gap", "sectors 100 size 512\n0 10 done\n11 89 done\n"},
      {"an overlap", "sectors 100 size 512\n0 10 done\n9 91 done\n"},
      {"short of the end", "sectors 100 size 512\n0 99 done\n"},
      {"a count wrapping past 2^64", "sectors 100 size 512\n0 50 done\n50 18446744073709551600 done\n34 66 done\n"},
      {"unknown state", "sectors 100 size 512\n0 100 fine\n"},
      {"empty run", "sectors 100 size 512\n0 0 done\n0 100 done\n"},
      {"runs after complete", "sectors 100 size 512\n0 50 done\ncomplete\n50 50 done\n"},
      {"sector size 0", "sectors 100 size 0\n0 100 done\n"},
      {"trailing words", "sectors 100 size 512\n0 100 done x\n"},
  };
  for (const auto& [name, text] : cases) {
    BackupMap map(512, 7);
    std::string error;
    EXPECT_EQ(BackupMap::Parse(text, map, error), -1) << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_EQ(map.SectorCount(), 7u) << name;  // left as it was
  }
}

}  // namespace
}  // namespace orv

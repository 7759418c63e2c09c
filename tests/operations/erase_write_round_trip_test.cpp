// Undoing an erase: the backup the erase leaves, written back by the image write, gives the disc
// back byte for byte. Both operations run for real, so a disagreement between where the erase
// saves a region and where the write puts it shows here.
#include <gtest/gtest.h>

#include <algorithm>

#include "image_write_rig.h"
#include "operations/erase_with_backup.h"

namespace orv::test {
namespace {

// The erase with its backup at dir/backup.ovi, answered Yes; `erased` sees the disc after it;
// then the image write of that backup, answered Yes.
ImageWriteResult EraseAndWriteBack(OperationRig& rig, const std::filesystem::path& dir,
                                   const std::function<void()>& erased) {
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);  // save the sectors first
  ui.QueueFile(dir / "backup.ovi");
  ui.QueueAnswer(kIdYes);  // erase
  EraseOptions options;
  options.backupFolder = dir;
  EraseReport report;
  EXPECT_EQ(EraseWithBackup(ui, rig.List(), rig.Record(), options, &report), 0);
  EXPECT_EQ(report.end, EraseEnd::kErased);
  erased();
  ScriptedUi writeUi;
  writeUi.QueueAnswer(kIdYes);
  return RunImageWrite(writeUi, rig.List(), rig.Record(), dir / "backup.ovi");
}

// Large discs (head and tail apart), a disc of exactly two regions, and discs smaller than
// that, where the erase takes the whole disc and the two regions must not overlap on the way back.
TEST(EraseThenImageWrite, GivesTheDiscBackByteForByte) {
  for (uint64_t sectors : {5000u, 128u, 100u, 33u}) {
    SCOPED_TRACE(sectors);
    const std::filesystem::path dir = ScratchDir("erase-write-" + std::to_string(sectors));
    const Bytes before = PatternedDisc(sectors, 2048, 5);
    WriteFileBytes(dir / "disc.img", before);
    ImageWriteResult write;
    {
      OperationRig rig("dvdram", dir / "disc.img");
      ASSERT_TRUE(rig.Ready());
      write = EraseAndWriteBack(rig, dir, [&] { EXPECT_FALSE(ReadFileBytes(dir / "disc.img") == before); });
    }
    EXPECT_EQ(write.code, 0);
    EXPECT_EQ(write.end, ImageWriteEnd::kCompleted);
    EXPECT_EQ(write.sectorsWritten, std::min<uint64_t>(sectors, 128));
    EXPECT_TRUE(ReadFileBytes(dir / "disc.img") == before);
  }
}

// The whole 4.7 GB disc of the DVD-RAM preset (in memory): the tail goes to 2,295,040, and the
// capacity check compares the disc with the backup's 256 KiB, not with where its tail lies.
TEST(EraseThenImageWrite, FullSizeDiscTailAtTheLastSixtyFourSectors) {
  OperationRig rig("dvdram");
  ASSERT_TRUE(rig.Ready());
  Medium& medium = *rig.Drive().GetMedium();
  ASSERT_EQ(medium.BlockCount(), 2295104u);
  // The sectors around both regions, so that a write one sector off shows.
  const uint64_t watched[] = {0, 1, 63, 64, 65, 2295039, 2295040, 2295103};
  for (uint64_t lba : watched) ASSERT_EQ(medium.Write(lba, 1, SectorPattern(lba, 2048, 8).data()), 0);
  std::unique_ptr<WriteWatch> watch;
  const ImageWriteResult write = EraseAndWriteBack(rig, ScratchDir("erase-write-full"), [&] {
    watch = std::make_unique<WriteWatch>(rig.SharedDrive());
  });
  EXPECT_EQ(write.code, 0);
  ASSERT_TRUE(watch);
  EXPECT_EQ(watch->Writes(), (std::vector<SectorRun>{{0, 32}, {32, 32}, {2295040, 32}, {2295072, 32}}));
  for (uint64_t lba : watched) {
    Bytes sector(2048);
    ASSERT_EQ(medium.Read(lba, 1, sector.data()), 0);
    EXPECT_TRUE(sector == SectorPattern(lba, 2048, 8)) << lba;
  }
}

}  // namespace
}  // namespace orv::test

// Undoing an erase: the backup the erase leaves, written back by the image write, gives the disc
// back byte for byte. Both operations run for real on a file-backed virtual DVD-RAM, so a
// disagreement between where the erase saves a region and where the write puts it shows here.
#include <gtest/gtest.h>

#include <algorithm>

#include "image_write_rig.h"
#include "operations/erase_with_backup.h"

namespace orv::test {
namespace {

void EraseForReal(OperationRig& rig, const std::filesystem::path& backup) {
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);  // save the sectors first
  ui.QueueFile(backup);
  ui.QueueAnswer(kIdYes);  // erase
  EraseOptions options;
  options.backupFolder = backup.parent_path();
  EraseReport report;
  ASSERT_EQ(EraseWithBackup(ui, rig.List(), rig.Record(), options, &report), 0);
  ASSERT_EQ(report.end, EraseEnd::kErased);
  EXPECT_EQ(report.backup, backup);
}

// Large discs (head and tail apart), a disc of exactly two regions, and discs smaller than
// that, where the erase takes the whole disc and the two regions must not overlap on the way back.
TEST(EraseThenImageWrite, GivesTheDiscBackByteForByte) {
  for (uint64_t sectors : {5000u, 129u, 128u, 100u, 64u, 33u}) {
    SCOPED_TRACE(sectors);
    const RoundTrip trip = EraseAndWriteBack(ScratchDir("erase-write-" + std::to_string(sectors)), sectors, EraseForReal);
    EXPECT_FALSE(trip.erased == trip.before);
    EXPECT_EQ(trip.write.code, 0);
    EXPECT_EQ(trip.write.end, ImageWriteEnd::kCompleted);
    EXPECT_EQ(trip.write.sectorsWritten, std::min<uint64_t>(sectors, 128));
    EXPECT_TRUE(trip.after == trip.before);
  }
}

}  // namespace
}  // namespace orv::test

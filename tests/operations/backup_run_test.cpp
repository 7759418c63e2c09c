// The backup and the comparison as the window runs them, answered by a scripted user, on a DVD-RAM
// file of three 4 MiB chunks (noise, then zeros); every complete backup must then compare equal.
#include "operations/backup_run.h"

#include <gtest/gtest.h>

#include "image/image_test_support.h"
#include "image_write_rig.h"
#include "operations/backup_run_texts.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {
namespace {

constexpr uint64_t kSectors = 6144;
constexpr uint32_t kSector = 2048;

struct Rig {
  Rig(const std::string& name, const std::string& faults) : dir(TempDir(name)) {
    Bytes disc = RandomCorpus(kSectors / 3 * kSector);
    disc.resize(kSectors * kSector);
    WriteWholeFile(dir / "disc.img", disc);
    std::vector<VirtualDriveSpec> parsed;
    std::string error;
    ParseVirtualDriveSpecs("E=dvdram:" + (dir / "disc.img").string() + faults, parsed, error);
    drives = std::make_unique<OperationRig>(std::shared_ptr<VirtualDrive>(MakeVirtualDrive(parsed.at(0), error)));
  }
  // Yes to every question (resume); the progress box's button pressed at `press`.
  BackupRunResult Run(bool compare, const char* press = nullptr) {
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    if (press) ui.PressProgressButtonOnStatus(press);
    ui.QueueFile(dir / "backup.ovi");
    const BackupRunOptions options{2, kBackupTransferBytes, &clock};
    const BackupRunResult result = compare ? RunCompareWindow(ui, drives->List(), drives->Record(), options)
                                           : RunBackupWindow(ui, drives->List(), drives->Record(), options);
    boxes = ui.Boxes();
    return result;
  }
  std::filesystem::path dir;
  std::unique_ptr<OperationRig> drives;
  SetClock clock{0, 0};  // no rate, no estimate: status lines known ahead
  std::vector<RecordedBox> boxes;
};

TEST(BackupRun, Cases) {
  const Bytes ones(3 * kSector, 0xFF);
  const struct {
    const char* name;
    const char* faults;                // of the disc
    std::function<void(Rig&)> before;  // what happened before the run looked at
    bool compare;                      // the run: the comparison, else the backup
    BackupRunEnd end;
    int code;
    uint64_t good, bad;
    const char* text;  // what the last box says, in part
    const char* note;  // its note line
  } cases[] = {
      {"BadSectorsAreCountedAndListed", ":bad=100+8:bad=3000+1", nullptr, false, BackupRunEnd::kCompleted, -1, 6135, 9,
       "読み取り不可: 9 セクタ\r\n    セクタ 100 から 8 セクタ\r\n    セクタ 3000 から 1 セクタ\r\n", kBackupBadNote},
      {"StoppedBackupResumesToTheEnd", "",
       [](Rig& rig) {
         EXPECT_EQ(rig.Run(false, "2048/6144 (33%) 0.0 MB/s").end, BackupRunEnd::kInterrupted);
         EXPECT_EQ(rig.boxes.back().box.note, kBackupResumableNote);
       },
       false, BackupRunEnd::kCompleted, 0, 6144, 0, "読み取り: 6144 セクタ\r\n", kBackupDoneNote},
      {"CompareNamesTheFirstRangesAndCountsTheRest", "",
       [&](Rig& rig) {
         rig.Run(false);
         for (uint64_t lba : {10, 20, 30, 40, 50, 3000, 6141}) rig.drives->Drive().GetMedium()->Write(lba, 1, ones.data());
         rig.drives->Drive().GetMedium()->Write(4000, 3, ones.data());
       },
       true, BackupRunEnd::kCompleted, -1, 6144, 10,
       "異なるセクタ: 10 セクタ (8 箇所)\r\n    セクタ 10 から 1 セクタ\r\n    セクタ 20 から 1 セクタ\r\n"
       "    セクタ 30 から 1 セクタ\r\n    セクタ 40 から 1 セクタ\r\n    セクタ 50 から 1 セクタ\r\n",
       "※ ほかに 3 箇所あります。"},
      {"CompleteBackupIsNotWrittenOver", "", [](Rig& rig) { rig.Run(false); }, false, BackupRunEnd::kRefused, -1, 0,
       0, kBackupAlreadyComplete, kBackupRefusedNote},
      {"OtherFileIsNotWrittenOver", "", [](Rig& rig) { WriteWholeFile(rig.dir / "backup.ovi", Bytes(5, 1)); }, false,
       BackupRunEnd::kRefused, -1, 0, 0, kBackupFileExists, kBackupRefusedNote},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(std::string("backup_run_") + c.name, c.faults);
    if (c.before) c.before(rig);
    const Bytes file = ReadWholeFile(rig.dir / "backup.ovi");
    const BackupRunResult result = rig.Run(c.compare);
    EXPECT_EQ(result.end, c.end);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.good, c.good);
    EXPECT_EQ(result.bad, c.bad);
    ASSERT_FALSE(rig.boxes.empty());
    EXPECT_NE(rig.boxes.back().box.text.find(c.text), std::string::npos) << rig.boxes.back().box.text;
    EXPECT_EQ(rig.boxes.back().box.note, c.note);
    if (c.end == BackupRunEnd::kRefused) { EXPECT_EQ(ReadWholeFile(rig.dir / "backup.ovi"), file); }
    if (c.end == BackupRunEnd::kCompleted && !c.compare) { EXPECT_EQ(rig.Run(true).code, 0) << rig.boxes.back().box.text; }
  }
}

}  // namespace
}  // namespace orv::test

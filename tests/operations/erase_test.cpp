// The erase on virtual drives with a scripted user: its boxes, the whole disc file before and
// after, and the backup decoded by the image reader against the original sectors.
#include "operations/erase_with_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "erase_rig.h"
#include "image_write_rig.h"
#include "image/file_system.h"
#include "image/image_check.h"
#include "operations/erase_texts.h"
#include "operations/write_target.h"
#include "scsi/sense.h"
#include "toolkit/format.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

constexpr char kIdentification[] = "ORVANE   VIRTUAL DVD-RAM  1.01";
constexpr LocalTime kNow{2004, 1, 14, 2, 0, 18};

// `disc` with the first `count` sectors of the erase order (the regions, ascending) zeroed.
Bytes Zeroed(Bytes disc, uint32_t sectorSize, size_t count = SIZE_MAX) {
  for (const EraseRegion& r : EraseRegionsOf(disc.size() / sectorSize, sectorSize))
    for (uint64_t lba = r.firstSector; lba < r.firstSector + r.sectorCount && count > 0; ++lba, --count)
      std::fill_n(disc.begin() + static_cast<ptrdiff_t>(lba * sectorSize), sectorSize, uint8_t{0});
  return disc;
}

// A backup that checks out whole (each block's data decoded to its CRC), one LH5 block per region
// whose CRC is that of the region's sectors of `before`.
void ExpectBackupOf(const fs::path& path, const Bytes& before, uint64_t sectors, uint32_t sectorSize) {
  ImageCheck check;
  ASSERT_EQ(CheckImage(path, CheckDepth::kData, check), 0) << path;
  ASSERT_TRUE(check.Good()) << path;
  std::vector<std::string> blocks, regions;
  const auto text = [](uint64_t first, uint64_t count, uint32_t size, const char* method, uint32_t crc) {
    return std::to_string(first) + "+" + std::to_string(count) + " of " + std::to_string(size) + ", " +
           std::string(method, 8) + ", CRC " + std::to_string(crc);
  };
  for (const BlockCheck& b : check.blocks) {
    const BlockHeader& h = b.block.header;
    blocks.push_back(text(h.firstSector, h.sectorCount, h.sectorSize, h.methodName.data(), h.crc));
  }
  for (const EraseRegion& r : EraseRegionsOf(sectors, sectorSize)) {
    const auto at = before.begin() + static_cast<ptrdiff_t>(r.firstSector * sectorSize);
    regions.push_back(text(r.firstSector, r.sectorCount, sectorSize, kLh5MethodName.data(),
                           CrcOf(Bytes(at, at + static_cast<ptrdiff_t>(r.sectorCount * sectorSize)))));
  }
  EXPECT_EQ(blocks, regions);
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

class Erase : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TempDir("erase"); }

  EraseRig& MakeRig(uint64_t sectors, uint32_t sectorSize = 2048) {
    rig_.reset();  // the disc file of the last rig is closed before it is made anew
    rig_ = std::make_unique<EraseRig>(dir_ / "disc.img", sectors, sectorSize);
    return *rig_;
  }
  EraseOptions Options() const {
    EraseOptions options;
    options.backupFolder = dir_;
    options.clock = [] { return kNow; };
    return options;
  }
  int Run(Ui& ui, EraseReport& report, const std::optional<EraseOptions>& options = {}) {
    return EraseWithBackup(ui, rig_->List(), rig_->Record(), options ? *options : Options(), &report);
  }
  fs::path Backup() const { return dir_ / "backup.ovi"; }
  // Yes to saving, Backup() as the file, Yes to the confirmation.
  void AnswerYesWithBackup(ScriptedUi& ui) const {
    ui.QueueAnswer(kIdYes);
    ui.QueueFile(Backup());
    ui.QueueAnswer(kIdYes);
  }

  fs::path dir_;
  std::unique_ptr<EraseRig> rig_;
};

TEST(EraseRegions, HeadThenTailNeverOverlappingAndCoveringMinOfTAnd2N) {
  const struct {
    uint64_t sectors;
    uint32_t sectorSize;
    std::vector<EraseRegion> regions;
  } cases[] = {
      {64, 2048, {{0, 64}}},
      {65, 2048, {{0, 64}, {64, 1}}},
      {128, 2048, {{0, 64}, {64, 64}}},
      {129, 2048, {{0, 64}, {65, 64}}},
      {0, 2048, {}},
      {100, 0, {}},
      {1000, 2352, {{0, 56}, {944, 56}}},  // 131072 / 2352 = 55.7: 56 sectors
      {3, 0x40000, {{0, 1}, {2, 1}}},       // sectors larger than the erase size: one each
      {0xFFFFFFFFull, 2048, {{0, 64}, {0xFFFFFFFFull - 64, 64}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EraseRegionsOf(c.sectors, c.sectorSize), c.regions) << "T=" << c.sectors << " S=" << c.sectorSize;
}

TEST_F(Erase, WithBackupAsksSavesVerifiesThenZeroesOnlyTheRegions) {
  EraseRig& rig = MakeRig(100);
  ASSERT_TRUE(rig.Ready());
  const Bytes before = rig.Disc();
  ScriptedUi ui;
  AnswerYesWithBackup(ui);
  EraseReport report;
  EXPECT_EQ(Run(ui, report), 0);
  EXPECT_EQ(report.end, EraseEnd::kErased);
  EXPECT_EQ(report.backup, Backup());
  std::vector<std::string> shown;  // caption, style, text and note of each box
  for (const RecordedBox& b : ui.Boxes())
    shown.push_back(b.box.caption + "|" + std::to_string(b.box.style) + "|" + b.box.text + "|" + b.box.note);
  const std::string app = std::string(kAppTitle) + "|";
  EXPECT_EQ(shown, (std::vector<std::string>{
                       app + std::to_string(kBoxYesNoCancel) +
                           "|消去内容をファイルに保存しますか？\r\n\r\n消去内容をファイルに保存しておくと、消去した直後で"
                           "あれば\r\n内容を元に戻すことができます。|※ 消去した内容を元に戻す場合、保存したファイル(*.img)を"
                           "\r\n　 [イメージ書込]を使って、ディスクに書き込みしてください。",
                       app + std::to_string(kBoxYesNo) + "|" + kIdentification + "\r\n\r\n本当に消去しますか？|",
                       app + std::to_string(kBoxOk) + "|消去完了しました。|※ いったんディスクを取り出すか再起動しないと、"
                                                      "\r\n　 内容が正しく表示されないことがあります。"}));
  const auto choices = ui.FileChoices();
  ASSERT_EQ(choices.size(), 1u);
  EXPECT_TRUE(choices[0].save);
  EXPECT_EQ(choices[0].choice.title, "消去情報の保存");
  EXPECT_EQ(choices[0].proposed, dir_ / "orv-unformat-2004-0114-020018.ovi");
  const auto progress = ui.ProgressBoxes();
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].boxSpec.message, std::string(kIdentification) + "\r\n\r\nディスクを消去しています。");
  EXPECT_EQ(progress[0].boxSpec.caption + "|" + progress[0].boxSpec.buttonLabel, app);  // no cancel button
  EXPECT_EQ(progress[0].events.front() + "|" + progress[0].events.back(), "range 200|closed");
  // Every read before the first write, one sector each, in ascending order.
  std::vector<SectorCommand> expected;
  for (uint8_t op : {scsi_op::kRead10, scsi_op::kWrite10})
    for (uint64_t lba = 0; lba < 100; ++lba) expected.push_back({op, lba, 1});
  EXPECT_EQ(rig.Log(), expected);
  EXPECT_TRUE(rig.Disc() == Zeroed(before, 2048));
  EXPECT_FALSE(rig.Device().IsOpen());
}

fs::path Linked(const fs::path& dir, bool symbolic) {
  std::error_code ec;
  const fs::path link = dir / (symbolic ? "link.ovi" : "hard.ovi");
  symbolic ? fs::create_symlink(dir / "disc.img", link, ec) : fs::create_hard_link(dir / "disc.img", link, ec);
  return ec ? fs::path() : link;  // empty: the kind cannot be made here, the row is skipped
}

// Nothing is written and no file changes when the user stops before the passes, the drive is not
// to be had, or the backup path is no file of its own (checked before the drive is opened: the
// backup is renamed onto it, so the disc's own file by another name would be replaced by it).
TEST_F(Erase, NothingIsWrittenOrDeletedUnlessTheUserTheDriveAndTheBackupPathAllowIt) {
  const char* const isDisc = "保存先は、消去するディスクのイメージ ファイルそのものです。";
  using Path = std::function<fs::path(const fs::path& dir)>;
  const Path backup = [](const fs::path& d) { return d / "backup.ovi"; };
  struct Case {
    const char* name;
    std::vector<uint32_t> answers;
    Path file;  // the save choice; null: none made
    int result;
    EraseEnd end;
    size_t boxes;
    std::string lastBox = "";                        // its text, when the row gives one
    std::function<void(EraseRig&)> drive = nullptr;  // the drive as the erase finds it
    const char* refusal = nullptr;                   // the backup path's, naming the path and the drive
  };
  const EraseEnd kRefused = EraseEnd::kBackupRefused;
  const Case cases[] = {
      {"save question: Cancel", {kIdCancel}, nullptr, 0, EraseEnd::kCancelled, 1},
      {"save choice cancelled", {kIdYes}, nullptr, -1, EraseEnd::kSaveCancelled, 1},
      {"confirmation: No, with a backup chosen", {kIdYes, kIdNo}, backup, 0, EraseEnd::kDeclined, 2},
      {"confirmation closed, without a backup", {kIdNo}, nullptr, 0, EraseEnd::kDeclined, 2},
      {"drive in use, sharing refused", {kIdYes, kIdNo}, backup, -1, EraseEnd::kNotOpened, 2, kSharedModeQuestion,
       [](EraseRig& rig) { ASSERT_NE(rig.HoldOpen(kOpenSharedReadWrite), kNoPortHandle); }},
      {"no medium", {kIdYes}, backup, -1, EraseEnd::kNotReady, 2, "デバイスの準備ができていません。",
       [](EraseRig& rig) { rig.Drive().ChangeMedium(nullptr); }},
      {"backup path: a folder", {kIdYes, kIdYes}, [](const fs::path& d) { return d / "a-folder"; }, -1, kRefused, 2,
       "", nullptr, "保存先はファイルではなく、フォルダです。"},
      {"backup path: the image through a-folder/..", {kIdYes, kIdYes},
       [](const fs::path& d) { return d / "a-folder" / ".." / "disc.img"; }, -1, kRefused, 2, "", nullptr, isDisc},
      {"backup path: a symbolic link to the image", {kIdYes, kIdYes}, [](const fs::path& d) { return Linked(d, true); },
       -1, kRefused, 2, "", nullptr, isDisc},
      {"backup path: a hard link to the image", {kIdYes, kIdYes}, [](const fs::path& d) { return Linked(d, false); },
       -1, kRefused, 2, "", nullptr, isDisc},
      {"backup path: a device node", {kIdYes, kIdYes},
       [](const fs::path&) { return fs::path(fs::is_character_file("/dev/null") ? "/dev/null" : ""); }, -1, kRefused,
       2, "", nullptr, "保存先はファイルではなく、デバイスです。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EraseRig& rig = MakeRig(100);
    fs::create_directories(dir_ / "a-folder");
    WriteWholeFile(Backup(), Bytes{1, 2, 3});  // the user's file at the chosen path: kept whatever ends it
    const fs::path path = c.file ? c.file(dir_) : fs::path();
    if (c.file && path.empty()) continue;
    const Bytes before = rig.Disc();
    const std::set<std::string> names = Names(dir_);
    if (c.drive) c.drive(rig);
    ScriptedUi ui;
    for (uint32_t answer : c.answers) ui.QueueAnswer(answer);
    ui.QueueFile(path);
    EraseReport report;
    EXPECT_EQ(Run(ui, report), c.result);
    EXPECT_EQ(report.end, c.end);
    ASSERT_EQ(ui.Boxes().size(), c.boxes);
    const std::string last = c.refusal ? std::string(c.refusal) + "\r\n\r\n保存先: " + PathText(path) +
                                             "\r\n消去するドライブ: E: (" + PathText(dir_ / "disc.img") + ")"
                                       : c.lastBox;
    if (!last.empty()) { EXPECT_EQ(ui.Boxes().back().box.text, last); }
    EXPECT_TRUE(ui.ProgressBoxes().empty());
    EXPECT_TRUE(rig.Log().empty());
    EXPECT_TRUE(rig.Disc() == before);
    EXPECT_EQ(ReadWholeFile(Backup()), (Bytes{1, 2, 3}));
    EXPECT_EQ(Names(dir_), names);
    EXPECT_FALSE(rig.Device().IsOpen());
  }
}

using Fault = EraseRig::Fault;

using Act = std::function<bool(VirtualDrive&, CommandContext&)>;
Fault On(uint8_t opcode, uint64_t n, Act act) {  // `act` on the n-th command of `opcode`
  return [=](VirtualDrive& d, CommandContext& c, uint64_t number) {
    return c.Opcode() == opcode && number == n && act(d, c);
  };
}
Fault OnRead(uint64_t n, Act act) { return On(scsi_op::kRead10, n, std::move(act)); }
Fault OnWrite(uint64_t n, Act act) { return On(scsi_op::kWrite10, n, std::move(act)); }
bool MediumError(VirtualDrive&, CommandContext& c) {
  c.Fail(c.Opcode() == scsi_op::kRead10 ? kSenseUnrecoveredReadError : kSenseWriteError);
  return true;
}
bool ShortTransfer(VirtualDrive&, CommandContext& c) {
  if (c.Opcode() == scsi_op::kWrite10) {
    c.outcome.transferred = 1024;  // GOOD, but only half the sector taken (and nothing written)
    return true;
  }
  c.bufferLength = 1024;  // the handler moves what fits, and answers GOOD
  return false;
}
bool Vanish(VirtualDrive& d, CommandContext&) {
  d.SetVanished(true);  // this command completes; the next one finds no device
  return false;
}

std::string GoneText() {  // the system's text for a device that is gone
  auto port = MakeClosedPort(MakeOsPort());
  return SystemErrorText(port->ErrorCode(PortError::kDeviceGone));
}

// A failing READ(10), or the progress box closed (Ctrl-C on the console) before the first zero, ends
// the erase with the disc and the user's file as they were, no temporary left but the one another
// run still writes (it holds its claim); a failing WRITE(10) stops the zeroing there. A complete
// backup stays; a backup that does not read back as the sectors read (damaged in its temporary beside
// the chosen name) is a failed backup.
TEST_F(Erase, AFailedCommandOrACloseStopsTheEraseAndKeepsWhatTheUserNeeds) {
  const size_t kNoBackup = SIZE_MAX;
  using Damage = std::function<void(const fs::path&)>;
  const auto edit = [](std::function<void(Bytes&)> change) -> Damage {
    return [change](const fs::path& p) {
      Bytes b = ReadWholeFile(p);
      change(b);
      WriteWholeFile(p, b);
    };
  };
  const char* const unsaved = "消去内容の保存に失敗しました。";
  const struct {
    const char* name;
    Fault fault;  // null, with no damage: the user closes the box at `failure`, a status line
    std::string failure;
    size_t zeroed;  // sectors zeroed before the failure; kNoBackup: the backup failed
    bool existing;  // the chosen path holds a file of the user's
    Damage damage = nullptr;  // done to the backup before it is read back
  } cases[] = {
      {"read fails in the tail", OnRead(70, MediumError), Format(kEraseReadFailed, "MEDIUM ERROR"), kNoBackup, true},
      {"short read", OnRead(64, ShortTransfer), Format(kEraseReadFailed, "1024/2048 bytes"), kNoBackup, false},
      {"medium error half-way", OnWrite(50, MediumError), Format(kEraseWriteFailed, "MEDIUM ERROR"), 49, false},
      {"first write", OnWrite(1, MediumError), Format(kEraseWriteFailed, "MEDIUM ERROR"), 0, false},
      {"short write in the tail", OnWrite(80, ShortTransfer), Format(kEraseWriteFailed, "1024/2048 bytes"), 79, true},
      // The write that vanished the device went through; the next finds it gone.
      {"device vanishes writing", OnWrite(30, Vanish), Format(kEraseWriteFailed, GoneText().c_str()), 30, false},
      {"closed while saving", nullptr, "保存 3/100", kNoBackup, true},
      {"closed at the read-back", nullptr, "確認", 0, false},
      {"backup: a data byte flipped", nullptr, unsaved, kNoBackup, true,
       edit([](Bytes& b) { b[kBlockHeaderSize + 10] ^= 0x40; })},
      {"backup: its first header names another sector", nullptr, unsaved, kNoBackup, true,
       edit([](Bytes& b) { b[32] = 1; })},  // first sector, LE
      {"backup: the second block missing", nullptr, unsaved, kNoBackup, true, edit([](Bytes& b) {
         b.resize(kBlockHeaderSize + GetLe64(&b[12]));  // the first block's header and data
         b.push_back(0);
       })},
      // Its CRCs hold: only the comparison with the sectors read can tell.
      {"backup: a valid image of the same regions with other bytes", nullptr, unsaved, kNoBackup, false,
       [](const fs::path& p) { WriteBackup(p, RandomCorpus(100 * 2048, 99), 2048, {{0, 64}, {64, 36}}); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EraseRig& rig = MakeRig(100);
    fs::remove(Backup());
    if (c.existing) WriteWholeFile(Backup(), Bytes{9, 8, 7});
    WriteWholeFile(dir_ / "backup.ovi.orvane-0.tmp", Bytes{1});  // a killed run's
    WriteWholeFile(dir_ / "backup.ovi.orvane-1.tmp", Bytes{2});
    FileClaim live;
    ASSERT_EQ(live.Take(dir_ / "backup.ovi.orvane-1.tmp"), 0);
    const Bytes before = rig.Disc();
    rig.SetFault(c.fault);
    EraseOptions options = Options();
    options.beforeReadBack = [&](const fs::path& temporary) {
      EXPECT_EQ(temporary.parent_path(), dir_);  // beside the target, never the target itself
      EXPECT_NE(temporary, Backup());
      if (c.damage) c.damage(temporary);
    };
    ScriptedUi ui;
    AnswerYesWithBackup(ui);
    const bool closed = !c.fault && !c.damage;
    if (closed) ui.PressProgressButtonOnStatus(c.failure);
    EraseReport report;
    EXPECT_EQ(Run(ui, report, options), -1);
    const EraseEnd failed = c.zeroed == kNoBackup ? EraseEnd::kBackupFailed : EraseEnd::kZeroFailed;
    EXPECT_EQ(report.end, closed ? EraseEnd::kInterrupted : failed);
    if (!closed) { EXPECT_EQ(report.failure, c.failure); }
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].box.text, closed ? "処理を中断しました。" : c.failure);
    EXPECT_EQ(boxes[2].box.style, kBoxOk | kBoxIconError);
    // The hint to eject the disc once something was erased.
    EXPECT_EQ(boxes[2].box.note, c.zeroed != kNoBackup && c.zeroed > 0 ? kEraseDoneNote : "");
    EXPECT_TRUE(ui.ProgressBoxes().at(0).closed);
    if (c.zeroed == kNoBackup) {
      EXPECT_TRUE(rig.Disc() == before);
      if (c.existing) { EXPECT_EQ(ReadWholeFile(Backup()), (Bytes{9, 8, 7})); }
      EXPECT_EQ(Names(dir_).size(), c.existing ? 3u : 2u);  // the disc, the temporary in use, the user's file
    } else {
      EXPECT_EQ(report.zeroed, c.zeroed);
      EXPECT_TRUE(rig.Disc() == Zeroed(before, 2048, c.zeroed));
      ExpectBackupOf(Backup(), before, 100, 2048);
    }
    rig.Drive().SetVanished(false);
  }
}
// Every disc shape and hindrance ends with the regions zero and a backup of exactly them (none
// when declined): a user's file at the path goes only once the backup is whole. The image write
// of the backup gives each shape back byte for byte, the regions of a small disc not overlapping.
TEST_F(Erase, EveryShapeAndHindranceEndsWithTheRegionsZeroAndBackedUp) {
  const struct {
    const char* name;
    uint64_t sectors;
    uint32_t sectorSize;
    std::function<void(EraseRig&, ScriptedUi&, EraseOptions&)> before;
    bool backup = true;
  } cases[] = {
      {"no backup: nothing read, no file", 100, 2048, nullptr, false},
      {"the whole disc under one region", 50, 2048, nullptr},
      {"one sector", 1, 2048, nullptr},
      {"head and tail apart", 129, 2048, nullptr},
      {"2352-byte sectors", 200, 2352, nullptr},
      {"a close after the first zero: the erase runs to its end", 100, 2048,
       [](EraseRig&, ScriptedUi& ui, EraseOptions&) { ui.PressProgressButtonOnStatus("消去 1/100"); }},
      {"a quit during the passes", 100, 2048,
       [](EraseRig&, ScriptedUi& ui, EraseOptions&) { ui.QuitOnProcessCall(3); }},
      {"a unit attention during the backup", 100, 2048,
       [](EraseRig& rig, ScriptedUi&, EraseOptions&) {
         rig.SetFault(OnRead(20, [](VirtualDrive&, CommandContext& c) {
           c.Fail(kSenseMediumChanged);
           return true;
         }));
       }},
      {"a drive in use, sharing accepted", 100, 2048,
       [](EraseRig& rig, ScriptedUi& ui, EraseOptions&) {
         ASSERT_NE(rig.HoldOpen(kOpenSharedReadWrite), kNoPortHandle);
         ui.QueueAnswer(kIdYes);  // after the save question's Yes: Yes to sharing, then to erasing
       }},
      {"a file of the user's at the path", 100, 2048,
       [this](EraseRig&, ScriptedUi&, EraseOptions& options) {
         WriteWholeFile(Backup(), Bytes(5000, 0xAA));
         options.beforeReadBack = [this](const fs::path&) { EXPECT_EQ(ReadWholeFile(Backup()), Bytes(5000, 0xAA)); };
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EraseRig& rig = MakeRig(c.sectors, c.sectorSize);
    ASSERT_TRUE(rig.Ready());
    fs::remove(Backup());
    const Bytes before = rig.Disc();
    ScriptedUi ui;
    if (c.backup) {
      AnswerYesWithBackup(ui);
    } else {
      for (uint32_t answer : {kIdNo, kIdYes}) ui.QueueAnswer(answer);
    }
    EraseOptions options = Options();
    if (c.before) c.before(rig, ui, options);
    EraseReport report;
    EXPECT_EQ(Run(ui, report, options), 0);
    EXPECT_EQ(report.end, EraseEnd::kErased);
    EXPECT_TRUE(rig.Disc() == Zeroed(before, c.sectorSize));
    if (c.backup) ExpectBackupOf(Backup(), before, c.sectors, c.sectorSize);
    const std::set<std::string> files = {"disc.img", c.backup ? "backup.ovi" : "disc.img"};
    EXPECT_EQ(Names(dir_), files);
    if (c.backup && !c.before) {
      ScriptedUi writeUi;
      writeUi.QueueAnswer(kIdYes);
      const ImageWriteResult write = RunImageWrite(writeUi, rig.List(), rig.Record(), Backup());
      EXPECT_EQ(write.code, 0);
      EXPECT_EQ(write.sectorsWritten, std::min<uint64_t>(c.sectors, c.sectorSize == 2048 ? 128 : 112));
      EXPECT_TRUE(rig.Disc() == before);
    }
    if (!c.backup) { EXPECT_EQ(rig.Log().size(), 100u) << "the 100 writes alone: nothing read"; }
  }
}

// A whole DVD-RAM: the tail's byte offsets lie past 4 GiB, where a 32-bit product of sector and
// size would put the last region's zeros, and then its write-back, over other data.
TEST(EraseThenImageWrite, FullSizeDiscTailAtTheLastSixtyFourSectors) {
  OperationRig rig("dvdram");
  ASSERT_TRUE(rig.Ready());
  Medium& medium = *rig.Drive().GetMedium();
  ASSERT_EQ(medium.BlockCount(), 2295104u);
  const uint64_t watched[] = {0, 1, 63, 64, 65, 2295039, 2295040, 2295103};  // a write one sector off shows
  for (uint64_t lba : watched) ASSERT_EQ(medium.Write(lba, 1, SectorPattern(lba, 2048, 8).data()), 0);
  const fs::path dir = TempDir("erase-write-full");
  ScriptedUi ui;
  for (uint32_t answer : {kIdYes, kIdYes}) ui.QueueAnswer(answer);  // save, erase
  ui.QueueFile(dir / "backup.ovi");
  EraseOptions options;
  options.backupFolder = dir;
  ASSERT_EQ(EraseWithBackup(ui, rig.List(), rig.Record(), options, nullptr), 0);
  WriteWatch watch(rig.SharedDrive());
  ScriptedUi writeUi;
  writeUi.QueueAnswer(kIdYes);
  EXPECT_EQ(RunImageWrite(writeUi, rig.List(), rig.Record(), dir / "backup.ovi").code, 0);
  EXPECT_EQ(watch.Writes(), (std::vector<SectorRun>{{0, 32}, {32, 32}, {2295040, 32}, {2295072, 32}}));
  for (uint64_t lba : watched) {
    Bytes sector(2048);
    ASSERT_EQ(medium.Read(lba, 1, sector.data()), 0);
    EXPECT_TRUE(sector == SectorPattern(lba, 2048, 8)) << lba;
  }
}

}  // namespace
}  // namespace orv::test

// The image write on virtual drives answered by a scripted user: what reaches the disc, sector by
// sector, and every box on the way; raw images and ".ovi" containers, the progress texts.
#include "operations/image_write.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>  // std::chrono's clocks: <chrono> itself does not compile with a CP932 execution charset

#include "image/image_test_support.h"
#include "image_write_rig.h"
#include "vdrive/presets.h"
#include "operations/erase_backup.h"
#include "operations/image_write_progress.h"
#include "operations/image_write_texts.h"
#include "scsi/opcodes.h"
#include "scsi/sense.h"
#include "toolkit/endian.h"
#include "toolkit/format.h"

namespace orv::test {
namespace {

constexpr uint32_t kSector = 2048;

class ImageWriteTest : public testing::Test {
 protected:
  void SetUp() override { dir_ = ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name()); }

  // A drive of `preset` over a file of `sectors` patterned sectors of `sectorSize` (0: the preset's).
  OperationRig& Disc(uint64_t sectors, const std::string& preset = "dvdram", uint32_t sectorSize = 0) {
    disc_ = dir_ / "disc.img";
    DrivePreset drive = *FindDrivePreset(preset);
    if (sectorSize) drive.blockLength = sectorSize;
    WriteFileBytes(disc_, PatternedDisc(sectors, drive.blockLength, 1));
    before_ = ReadFileBytes(disc_);
    std::string error;
    rig_ = std::make_unique<OperationRig>(
        sectorSize ? std::make_shared<VirtualDrive>(drive, OpenImageMedium(disc_, sectorSize, sectors, false, error))
                   : std::shared_ptr<VirtualDrive>(MakeVirtualDrive({'E', preset, disc_.string()}, error)));
    EXPECT_TRUE(rig_->Ready());
    return *rig_;
  }
  Bytes DiscNow() const { return ReadFileBytes(disc_); }
  std::filesystem::path File(const std::string& name, const Bytes& bytes) {
    WriteFileBytes(dir_ / name, bytes);
    return dir_ / name;
  }
  ImageWriteResult Write(Ui& ui, const std::filesystem::path& path, ImageWriteOptions options = {}) {
    return RunImageWrite(ui, rig_->List(), rig_->Record(), path, options);
  }
  // The disc before with `data` laid over it from sector 0.
  Bytes Overlay(Bytes disc, const Bytes& data) const {
    std::copy(data.begin(), data.end(), disc.begin());
    return disc;
  }

  std::filesystem::path dir_, disc_;
  Bytes before_;
  std::unique_ptr<OperationRig> rig_;
};

// Each file goes from sector 0 in transfers of the whole sectors that fit in 64 KiB; the last
// sector's rest is zeros. A unit attention is answered by sending the same write again.
TEST_F(ImageWriteTest, RawImageGoesFromSectorZeroInWholeSectors) {
  const struct {
    const char* name;
    size_t bytes;
    std::vector<SectorRun> writes;
    int unitAttentionAfter = 0;  // the write after which the drive reports a medium change
    uint32_t sectorSize = kSector;
  } cases[] = {
      {"two whole transfers", 131072, {{0, 32}, {32, 32}}},
      {"not a whole number of sectors", 200000, {{0, 32}, {32, 32}, {64, 32}, {96, 2}}},
      {"a unit attention, the write sent again", 100 * kSector, {{0, 32}, {32, 32}, {64, 32}, {96, 4}}, 2},
      {"as large as the disc", 1000 * kSector, {}},
      {"2352-byte sectors: 27 a transfer", 63504 + 10, {{0, 27}, {27, 1}}, 0, 2352},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OperationRig& rig = Disc(1000, "dvdram", c.sectorSize);
    const uint64_t sectors = (c.bytes + c.sectorSize - 1) / c.sectorSize;
    Bytes data = PatternedDisc(sectors, c.sectorSize, 9);
    data.resize(c.bytes);
    WriteWatch watch(rig.SharedDrive(), [&](int number, VirtualDrive& d, CommandContext&) {
      if (number == c.unitAttentionAfter) d.InjectUnitAttention(2, 0x28);
    });
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    const ImageWriteResult result = Write(ui, File("image.img", data));
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.end, ImageWriteEnd::kCompleted);
    EXPECT_EQ(result.sectorsWritten, sectors);
    if (!c.writes.empty()) { EXPECT_EQ(watch.Writes(), c.writes); }
    data.resize(sectors * c.sectorSize, 0);
    rig_.reset();
    EXPECT_TRUE(DiscNow() == Overlay(before_, data));
  }
}

// No to the confirmation writes nothing and ends as declined; Yes writes, each box saying what happens.
TEST_F(ImageWriteTest, ConfirmationProgressAndFinalBoxSayWhatHappens) {
  OperationRig& rig = Disc(100);
  const std::filesystem::path path = File("raw.iso", Bytes(5000, 0x5A));
  const std::string question =
      "ORVANE   VIRTUAL DVD-RAM  1.01\r\n\r\nファイル: " + PathText(path) + "\r\n\r\n書き込みを開始しますか？";
  ScriptedUi no;
  no.QueueAnswer(kIdNo);
  const ImageWriteResult declined = Write(no, path);
  EXPECT_EQ(declined.code, 0);
  EXPECT_EQ(declined.end, ImageWriteEnd::kDeclined);
  ASSERT_EQ(no.Boxes().size(), 1u);
  EXPECT_EQ(no.Boxes()[0].box.text, question);
  EXPECT_TRUE(no.ProgressBoxes().empty());
  EXPECT_TRUE(DiscNow() == before_);

  SetClock clock(1000, 61999);  // the start, then everything after it: 60.999 s, whole seconds shown
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  ASSERT_EQ(Write(ui, path, {.clock = &clock}).code, 0);
  const auto boxes = ui.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].box.text + "|" + boxes[0].box.caption + "|" + boxes[0].box.note,
            question + "|確認|※ 書き込み先のディスクは、指定ファイルで上書きされ元には戻りません。");
  EXPECT_EQ(boxes[0].box.style, kBoxYesNo | kBoxIconQuestion);
  EXPECT_EQ(boxes[1].box.text + "|" + boxes[1].box.caption + "|" + boxes[1].box.note,
            "書き込み完了しました。\r\n\r\n所要時間：1分0秒\r\n|Orvane - DVD-RAM Utility|※ いったんディスクを取り出すか再"
            "起動しないと、\r\n　 書き込み内容が正しく表示されないことがあります。");
  const auto progress = ui.ProgressBoxes();
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].boxSpec.message + "|" + progress[0].boxSpec.caption + "|" + progress[0].boxSpec.buttonLabel,
            "書き込み処理中...|Orvane - DVD-RAM Utility|キャンセル");
  EXPECT_TRUE(progress[0].boxSpec.progressBar && progress[0].closed);
  EXPECT_EQ(progress[0].position, 100u);
  EXPECT_FALSE(rig.Device().IsOpen());
}

struct RefusalCase {
  std::string name;
  std::string preset;
  uint64_t sectors;
  std::string file;  // made in the test's folder; empty: a file that does not exist
  std::function<Bytes(const Bytes& disc)> content;
  std::string message;
};

// Every refusal, the damaged walks of the container reader's table included, shows its message in
// a stop box titled "エラー" before any question and writes nothing.
TEST_F(ImageWriteTest, RefusalsComeBeforeTheConfirmationAndWriteNothing) {
  const Bytes other = PatternedDisc(2000, kSector, 3);
  const auto backupOf = [this](const Bytes& disc, std::vector<SectorRun> runs) {
    WriteBackup(dir_ / "made.ovi", disc, kSector, runs);
    return ReadFileBytes(dir_ / "made.ovi");
  };
  std::vector<RefusalCase> cases = {
      {"raw file larger than the disc", "dvdram", 1000, "big.img",
       [](const Bytes&) { return Bytes(1000 * kSector + 1, 7); }, kTargetTooSmall},
      {"raw file missing", "dvdram", 1000, "", nullptr, kFileCannotOpen},
      {"no disc in the drive", "nodisc", 1000, "a.img", [](const Bytes&) { return Bytes(10, 1); },
       "書き込み先の準備ができていません。"},
      // The backup of a 2000-sector disc has 256 KiB, which fits; its tail does not.
      {"tail block of a larger disc", "dvdram", 1000, "larger.ovi",
       [&](const Bytes&) { return backupOf(other, {{0, 64}, {1936, 64}}); }, kTargetTooSmall},
      {"backup of 2048-byte sectors on a 512-byte disk", "hdd", 4000, "dvd.ovi",
       [&](const Bytes&) { return backupOf(other, {{0, 64}, {1936, 64}}); },
       Format(kSectorSizeMismatch, 2048u, 512u)},
      {"empty raw file", "dvdram", 1000, "empty.img", [](const Bytes&) { return Bytes{}; }, kImageEmpty},
      {"container whose one block holds no data", "dvdram", 1000, "nodata.ovi",
       [](const Bytes&) { return Concat({Header(60, 0, 0, 0, "-nocomp-"), {0}}); }, kImageEmpty},
      {"blocks overlapping, later one first in the file", "dvdram", 1000, "overlap.ovi",
       [&](const Bytes& disc) { return backupOf(disc, {{500, 10}, {100, 64}, {150, 8}}); },
       Format(kBlocksOverlap, 2u, uint64_t{100}, uint64_t{64}, 3u, uint64_t{150}, uint64_t{8})},
      {"backup cut short under another name", "dvdram", 1000, "cut.img",
       [&](const Bytes& disc) {
         Bytes file = backupOf(disc, {{0, 64}, {936, 64}});
         file.resize(file.size() - 40);
         return file;
       },
       kContainerByContentDamaged},
  };
  for (const WalkCase& w : WalkCases())
    cases.push_back({w.name, "dvdram", 100, "walk.ovi", [f = w.file](const Bytes&) { return f; }, kImageInfoFailed});
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    OperationRig& rig = Disc(c.sectors, c.preset);
    const std::filesystem::path path = dir_ / (c.file.empty() ? "gone.img" : c.file);
    if (c.content) WriteFileBytes(path, c.content(before_));
    WriteWatch watch(rig.SharedDrive());
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    const ImageWriteResult result = Write(ui, path);
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.end, ImageWriteEnd::kRefused);
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].box.text + "|" + boxes[0].box.caption, c.message + "|エラー");
    EXPECT_EQ(boxes[0].box.style, kBoxOk | kBoxIconError);
    EXPECT_TRUE(ui.ProgressBoxes().empty());
    EXPECT_TRUE(watch.Writes().empty());
    EXPECT_FALSE(rig.Device().IsOpen());
    rig_.reset();
    EXPECT_TRUE(DiscNow() == before_);
  }
}

// A fault set up during write `atWrite` hits the next command (a short transfer, the disc taken out
// the one in flight), or the user closes the box while that write is held: nothing goes out after
// it, refused commands are not watched; closed during the last write, nothing is left to stop.
TEST_F(ImageWriteTest, AFailureOrACloseStopsBeforeTheNextTransfer) {
  const std::string failed = "データの書き込みに失敗しました。\r\n    ";
  const struct {
    const char* name;
    int atWrite;
    std::function<void(VirtualDrive&)> fault;  // null: the box is closed at `pressOn`
    ImageWriteEnd end;
    std::string text;  // of the final box; "" : the write failure with the system's text for the port's error
    size_t watched;
    uint64_t onDisc;  // sectors of the image on the disc: a short transfer lands the whole sectors it moved
    uint64_t written;
    const char* pressOn = "";  // the status line at which the user closes the box
  } cases[] = {
      {"short write", 1, [](VirtualDrive& d) { d.InjectShortTransfer(4096); }, ImageWriteEnd::kFailed,
       failed + "ドライブが要求より少ないデータしか転送しませんでした。", 2, 34, 32},
      {"medium error", 2, [](VirtualDrive& d) { d.InjectFailure(kSenseWriteError, scsi_op::kWrite10); },
       ImageWriteEnd::kFailed, failed + "ディスクのこの位置を読み書きできません (メディア エラー)。", 2, 64, 64},
      {"disc taken out", 2, [](VirtualDrive& d) { d.ChangeMedium(nullptr); }, ImageWriteEnd::kFailed,
       failed + "ドライブにディスクが入っていません。", 2, 32, 32},
      {"device vanished", 2, [](VirtualDrive& d) { d.SetVanished(true); }, ImageWriteEnd::kFailed, "", 2, 64, 64},
      {"raw file shrinks under the write", 1,
       [this](VirtualDrive&) { std::filesystem::resize_file(dir_ / "a.img", 40 * kSector); }, ImageWriteEnd::kFailed,
       "ファイルの読み取りに失敗しました。", 1, 32, 32},
      {"closed during the second transfer", 2, nullptr, ImageWriteEnd::kInterrupted, "処理を中断しました。", 2, 64, 64,
       "32/192 (16%)"},
      {"closed during the last transfer", 6, nullptr, ImageWriteEnd::kCompleted,
       "書き込み完了しました。\r\n\r\n所要時間：0秒\r\n", 6, 192, 192, "160/192 (83%)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OperationRig& rig = Disc(1000);
    const Bytes image = PatternedDisc(192, kSector, 4);  // six transfers of 32 sectors
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    if (!c.fault) ui.PressProgressButtonOnStatus(c.pressOn);
    WriteWatch watch(rig.SharedDrive(), [&](int number, VirtualDrive& d, CommandContext&) {
      if (number == c.atWrite && c.fault) c.fault(d);
      for (int ms = 0; number == c.atWrite && !c.fault && ms < 10000 && !ui.ProgressBoxes().at(0).closed; ++ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    SetClock clock(0, 0);  // no rate, no estimate: the status lines known ahead
    const ImageWriteResult result = Write(ui, File("a.img", image), {.clock = &clock});
    EXPECT_EQ(result.code, c.end == ImageWriteEnd::kCompleted ? 0 : -1);
    EXPECT_EQ(result.end, c.end);
    EXPECT_EQ(watch.Writes().size(), c.watched);
    EXPECT_EQ(result.sectorsWritten, c.written);
    EXPECT_EQ(ui.ProgressBoxes().at(0).closeRequested, !c.fault);
    const std::string system = SystemErrorText(rig.Device().LastError());
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].box.text, c.text.empty() ? failed + system : c.text);
    if (c.text.empty()) { EXPECT_NE(system, ""); }
    EXPECT_EQ(boxes[1].box.style, c.end == ImageWriteEnd::kCompleted ? kBoxOk : kBoxOk | kBoxIconError);
    rig_.reset();
    const Bytes written(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(c.onDisc * kSector));
    EXPECT_TRUE(DiscNow() == Overlay(before_, written)) << "nothing is sent after the failed transfer";
  }
}

// Blocks at 0, 64 and 128 of 64 sectors of `disc`: the file, where each header starts, the disc.
struct ThreeBlocks {
  Bytes file;
  std::vector<size_t> headers;
  Bytes disc;
};

ThreeBlocks MakeThreeBlocks(const std::filesystem::path& path, Bytes disc = PatternedDisc(192, kSector, 6)) {
  ThreeBlocks made;
  made.disc = std::move(disc);
  WriteBackup(path, made.disc, kSector, {{0, 64}, {64, 64}, {128, 64}});
  made.file = ReadFileBytes(path);
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    made.headers.push_back(at);
    at += 60 + static_cast<size_t>(GetLe64(&made.file[at + 12]));
  }
  return made;
}

// A block the check passed that does not deliver its sectors as checked is named instead of a
// completed write: damaged data (the others still written), a header changed after the check
// (nothing written where it now points), a block longer than its sectors (only those written).
// The read-back names the first sector the drive changed, or its failed read.
TEST_F(ImageWriteTest, WhatDoesNotReachTheDiscAsTheImageSaysIsNamed) {
  const std::filesystem::path& dir = dir_;
  const ThreeBlocks three = MakeThreeBlocks(dir / "three.ovi");
  const auto flipped = [&](size_t at, uint8_t mask) {
    Bytes file = three.file;
    file[at] ^= mask;
    return file;
  };
  // Incompressible blocks: the last header lies beyond what the reader has read at the first write.
  const ThreeBlocks noise = MakeThreeBlocks(dir / "noise.ovi", RandomCorpus(192 * kSector, 11));
  ASSERT_GT(noise.headers[2], 250000u);
  const auto moveLastHeader = [&](int number, VirtualDrive&, CommandContext&) {
    uint8_t sector[8];
    PutLe64(sector, 5000);
    if (number == 1)
      std::fstream(dir / "block.ovi", std::ios::in | std::ios::out | std::ios::binary)
          .seekp(static_cast<std::streamoff>(noise.headers[2] + 32))
          .write(reinterpret_cast<const char*>(sector), sizeof sector);
  };
  const Bytes data = PatternedDisc(3, kSector, 2);
  const uint32_t crc = CrcOf(Bytes(data.begin(), data.begin() + 2 * kSector));
  Bytes header = Header(60, data.size(), 2 * kSector, crc, "-nocomp-");
  PutLe32(&header[28], kSector);
  PutLe64(&header[32], 10);
  PutLe32(&header[40], 2);
  const std::vector<SectorRun> all = {{0, 32}, {32, 32}, {64, 32}, {96, 32}, {128, 32}, {160, 32}};
  const std::string broken = "イメージの次のブロックが壊れているため、正しく書き込まれていません。\r\n";
  const struct {
    const char* name;
    Bytes file;
    bool verify;
    WriteWatch::OnWrite drive;
    std::vector<SectorRun> writes;
    std::string text;  // of the final box; "": the write completed
    int intact = -1;   // a block of `three` that must be on the disc as it was
    bool raw = false;
  } cases[] = {
      {"compressed byte of the middle block", flipped(three.headers[1] + 60 + 200, 0x10), false, nullptr, all,
       broken + "    セクタ 64 から 64 セクタ\r\n", 2},
      {"CRC of the last block", flipped(three.headers[2] + 48, 0x01), false, nullptr, all,
       broken + "    セクタ 128 から 64 セクタ\r\n", 0},
      {"header changed after the check", noise.file, false, moveLastHeader, {{0, 32}, {32, 32}, {64, 32}, {96, 32}},
       broken + "    セクタ 128 から 64 セクタ\r\n"},
      {"stored block longer than its sectors", Concat({header, data, {0}}), false, nullptr, {{10, 2}},
       broken + "    セクタ 10 から 2 セクタ\r\n"},
      {"read back from a drive that writes what it is given", three.file, true, nullptr, all, ""},
      {"read back from a drive that changes a byte of sector 130", three.file, true,
       [](int n, VirtualDrive&, CommandContext& c) { c.buffer[2 * kSector] ^= n == 5 ? 0x01 : 0; }, all,
       Format(kVerifyMismatch, uint64_t{130})},
      {"raw, read back from a drive that changes a byte of sector 37", PatternedDisc(192, kSector, 7), true,
       [](int n, VirtualDrive&, CommandContext& c) { c.buffer[5 * kSector + 100] ^= n == 2 ? 0x20 : 0; }, all,
       Format(kVerifyMismatch, uint64_t{37}), -1, true},
      {"raw, a read-back that fails", PatternedDisc(192, kSector, 7), true,
       [](int n, VirtualDrive& d, CommandContext&) {
         if (n == 6) d.InjectFailure(kSenseUnrecoveredReadError, scsi_op::kRead10);
       },
       all, Format(kVerifyReadFailed, "ディスクのこの位置を読み書きできません (メディア エラー)。"), -1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path path = dir / (c.raw ? "raw.img" : "block.ovi");
    WriteFileBytes(path, c.file);
    OperationRig rig("dvdram");
    ASSERT_TRUE(rig.Ready());
    WriteWatch watch(rig.SharedDrive(), c.drive);
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    SetClock clock(0, 0);
    const ImageWriteResult result =
        RunImageWrite(ui, rig.List(), rig.Record(), path, {.verify = c.verify, .clock = &clock});
    EXPECT_EQ(result.code, c.text.empty() ? 0 : -1);
    EXPECT_EQ(result.end, c.text.empty() ? ImageWriteEnd::kCompleted : ImageWriteEnd::kFailed);
    EXPECT_EQ(watch.Writes(), c.writes);
    ASSERT_EQ(ui.Boxes().size(), 2u);
    EXPECT_EQ(ui.Boxes()[1].box.text, c.text.empty() ? "書き込み完了しました。\r\n\r\n所要時間：0秒\r\n" : c.text);
    if (!c.text.empty()) { EXPECT_EQ(ui.Boxes()[1].box.style, kBoxOk | kBoxIconError); }
    if (c.intact < 0) continue;
    Bytes sectors(64 * kSector);
    ASSERT_EQ(rig.Drive().GetMedium()->Read(64 * c.intact, 64, sectors.data()), 0);
    EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), three.disc.begin() + 64 * c.intact * kSector));
  }
}

// 600 sectors 6 s after the start: 100 sectors a second, so 100 * r sectors to go are r seconds.
TEST(RemainingTimeEstimate, TextAtEachBoundaryOfItsThreeFormsAndASpeedChange) {
  const std::pair<uint64_t, const char*> cases[] = {
      {60, " - 残り60秒"}, {61, " - 残り1分01秒"}, {300, " - 残り5分00秒"}, {301, " - 残り5分"}, {100000, " - 残り1666分"},
  };
  for (const auto& [seconds, text] : cases) {
    RemainingTimeEstimate estimate;
    estimate.Start(1000);
    EXPECT_TRUE(estimate.Update(600, 600 + 100 * seconds, 7000)) << seconds;
    EXPECT_EQ(estimate.RemainingText(), text) << seconds;
  }
  // 3000 more in the next 6 s: the mean of the average 3600 / 12 = 300 and the recent 500 is 400.
  RemainingTimeEstimate estimate;
  estimate.Start(0);
  ASSERT_TRUE(estimate.Update(600, 100000, 6000));
  ASSERT_TRUE(estimate.Update(3600, 3600 + 36000, 12000));
  EXPECT_EQ(estimate.RemainingText(), " - 残り1分30秒");
}

TEST(ImageWriteTexts, ProgressLineAndTimeTaken) {
  EXPECT_EQ(ProgressLine(false, 1, 3, " - 残り5分"), "1/3 (33%) - 残り5分");  // truncated
  EXPECT_EQ(ProgressLine(true, 64, 128, ""), "ベリファイ 64/128 (50%)");
  EXPECT_EQ(ProgressLine(false, 0, 0, ""), "0/0 (100%)");  // nothing to write: no division by zero
  EXPECT_EQ(ProgressLine(false, uint64_t{5} << 32, uint64_t{10} << 32, ""), "21474836480/42949672960 (50%)");
  EXPECT_EQ(ElapsedText(59), "59秒");
  EXPECT_EQ(ElapsedText(3725), "62分5秒");  // 1分0秒 is the final box's
}

}  // namespace
}  // namespace orv::test

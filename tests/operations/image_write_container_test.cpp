// ".ovi" containers on virtual drives: a damaged file writes nothing, a damaged block is named,
// and the read-back finds what the drive changed.
#include <gtest/gtest.h>

#include <cstring>

#include "image/image_file.h"
#include "image/image_test_support.h"
#include "image_write_rig.h"
#include "operations/image_write.h"
#include "operations/image_write_texts.h"
#include "scsi/opcodes.h"
#include "scsi/sense.h"
#include "toolkit/endian.h"
#include "toolkit/format.h"

namespace orv::test {
namespace {

constexpr uint32_t kSector = 2048;

std::filesystem::path Dir() { return ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name()); }

// Every hand-made file of the container's walk table is refused before the drive is asked
// anything that writes: a damaged walk, or blocks whose data does not fit their sectors.
TEST(ImageWriteContainer, DamagedFilesWriteNothing) {
  const std::filesystem::path dir = Dir();
  for (const WalkCase& c : WalkCases()) {
    SCOPED_TRACE(c.name);
    OperationRig rig("dvdram");
    ASSERT_TRUE(rig.Ready());
    const std::filesystem::path path = dir / "damaged.ovi";
    WriteFileBytes(path, c.file);
    WriteWatch watch(rig.SharedDrive());
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    const ImageWriteResult result = RunImageWrite(ui, rig.List(), rig.Record(), path);
    EXPECT_EQ(result.end, ImageWriteEnd::kRefused);
    EXPECT_TRUE(watch.Writes().empty());
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].box.text, "イメージ情報の取得に失敗しました。");
    EXPECT_EQ(ui.Boxes()[0].box.caption, "エラー");
  }
}

// Three blocks at 0, 64 and 128, each of 64 sectors; the file as bytes, with where each block's
// header starts.
struct ThreeBlocks {
  Bytes file;
  std::vector<size_t> headers;
  Bytes disc;  // what the blocks hold, as a raw image of 192 sectors
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

// A block whose data is damaged is still written as it decodes (the others are written whole),
// and the final box names it instead of saying the write completed.
TEST(ImageWriteContainer, DamagedBlockIsNamedAndTheOthersAreWritten) {
  const struct {
    const char* name;
    size_t block;           // 1 or 2 (from 0)
    size_t offsetInBlock;   // from its header
    uint8_t mask;
  } cases[] = {
      {"compressed byte of the middle block", 1, 60 + 200, 0x10},
      {"CRC of the last block", 2, 48, 0x01},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path dir = Dir();
    const std::filesystem::path path = dir / "three.ovi";
    ThreeBlocks three = MakeThreeBlocks(path);
    three.file[three.headers[c.block] + c.offsetInBlock] ^= c.mask;
    WriteFileBytes(path, three.file);
    OperationRig rig("dvdram");
    ASSERT_TRUE(rig.Ready());
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    const ImageWriteResult result = RunImageWrite(ui, rig.List(), rig.Record(), path);
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.end, ImageWriteEnd::kFailed);
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].box.text, "イメージの次のブロックが壊れているため、正しく書き込まれていません。\r\n" +
                                     Format("    セクタ %u から 64 セクタ\r\n", static_cast<unsigned>(64 * c.block)));
    EXPECT_EQ(boxes[1].box.style, kBoxOk | kBoxIconError);
    // The good blocks are on the disc as they were.
    Medium& medium = *rig.Drive().GetMedium();
    for (size_t block = 0; block < 3; ++block) {
      if (block == c.block) continue;
      Bytes sectors(64 * kSector);
      ASSERT_EQ(medium.Read(64 * block, 64, sectors.data()), 0);
      EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), three.disc.begin() + static_cast<std::ptrdiff_t>(64 * block * kSector)))
          << "block " << block;
    }
  }
}

// A header changed between the check and the write is not decoded; the block is named with the
// sectors the check saw, and nothing is written where the new header points. (Incompressible
// blocks put the last header far beyond what the reader has read when the first write goes out.)
TEST(ImageWriteContainer, HeaderChangedAfterTheCheckIsNotWritten) {
  const std::filesystem::path dir = Dir();
  const std::filesystem::path path = dir / "three.ovi";
  const ThreeBlocks three = MakeThreeBlocks(path, RandomCorpus(192 * kSector, 11));
  ASSERT_GT(three.headers[2], 250000u);
  OperationRig rig("dvdram");
  ASSERT_TRUE(rig.Ready());
  WriteWatch watch(rig.SharedDrive(), [&](int number, VirtualDrive&, CommandContext&) {
    if (number != 1) return;
    Bytes changed = three.file;
    PutLe64(&changed[three.headers[2] + 32], 5000);
    WriteFileBytes(path, changed);
  });
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  EXPECT_EQ(RunImageWrite(ui, rig.List(), rig.Record(), path).end, ImageWriteEnd::kFailed);
  EXPECT_EQ(watch.Writes(), (std::vector<SectorRun>{{0, 32}, {32, 32}, {64, 32}, {96, 32}}));
  EXPECT_NE(ui.Boxes().back().box.text.find("    セクタ 128 から 64 セクタ\r\n"), std::string::npos);
}

// A stored block whose stored size is larger than its uncompressed size delivers more than its
// sectors hold: only its checked sectors are written.
TEST(ImageWriteContainer, BlockNeverWritesPastItsCheckedSectors) {
  const std::filesystem::path dir = Dir();
  const Bytes data = PatternedDisc(3, kSector, 2);
  Bytes header = Header(60, data.size(), 2 * kSector, CrcOf(Bytes(data.begin(), data.begin() + 2 * kSector)), "-nocomp-");
  PutLe32(&header[28], kSector);
  PutLe64(&header[32], 10);
  PutLe32(&header[40], 2);
  const std::filesystem::path path = dir / "long.ovi";
  WriteFileBytes(path, Concat({header, data, {0}}));
  OperationRig rig("dvdram");
  ASSERT_TRUE(rig.Ready());
  WriteWatch watch(rig.SharedDrive());
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  EXPECT_EQ(RunImageWrite(ui, rig.List(), rig.Record(), path).end, ImageWriteEnd::kFailed);
  EXPECT_EQ(watch.Writes(), (std::vector<SectorRun>{{10, 2}}));
  EXPECT_NE(ui.Boxes().back().box.text.find("    セクタ 10 から 2 セクタ\r\n"), std::string::npos);
}

TEST(ImageWriteVerify, ReadBackFindsTheFirstSectorTheDriveChanged) {
  const struct {
    const char* name;
    bool container;
    std::function<void(int number, VirtualDrive&, CommandContext&)> drive;
    std::string failure;  // "" : completes
  } cases[] = {
      {"container, a drive that writes what it is given", true, nullptr, ""},
      {"raw, a drive that changes a byte of sector 37", false,
       [](int number, VirtualDrive&, CommandContext& c) {
         if (number == 2) c.buffer[5 * kSector + 100] ^= 0x20;
       },
       Format(kVerifyMismatch, uint64_t{37})},
      {"container, a drive that changes a byte of sector 130", true,
       [](int number, VirtualDrive&, CommandContext& c) {
         if (number == 5) c.buffer[2 * kSector] ^= 0x01;
       },
       Format(kVerifyMismatch, uint64_t{130})},
      {"a read-back that fails", false,
       [](int number, VirtualDrive& d, CommandContext&) {
         if (number == 6) d.InjectFailure(kSenseUnrecoveredReadError, scsi_op::kRead10);
       },
       Format(kVerifyReadFailed, "ディスクのこの位置を読み書きできません (メディア エラー)。")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path dir = Dir();
    std::filesystem::path path;
    if (c.container) {
      path = dir / "three.ovi";
      MakeThreeBlocks(path);
    } else {
      path = dir / "raw.img";
      WriteFileBytes(path, PatternedDisc(192, kSector, 7));
    }
    OperationRig rig("dvdram");
    ASSERT_TRUE(rig.Ready());
    WriteWatch watch(rig.SharedDrive(), c.drive);
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    ImageWriteOptions options;
    options.verify = true;
    const ImageWriteResult result = RunImageWrite(ui, rig.List(), rig.Record(), path, options);
    EXPECT_EQ(watch.Writes().size(), 6u);
    EXPECT_EQ(result.sectorsWritten, 192u);
    ASSERT_EQ(ui.Boxes().size(), 2u);
    if (c.failure.empty()) {
      EXPECT_EQ(result.end, ImageWriteEnd::kCompleted);
      EXPECT_EQ(ui.Boxes()[1].box.text.rfind("書き込み完了しました。", 0), 0u);
    } else {
      EXPECT_EQ(result.end, ImageWriteEnd::kFailed);
      EXPECT_EQ(result.code, -1);
      EXPECT_EQ(ui.Boxes()[1].box.text, c.failure);
    }
  }
}

}  // namespace
}  // namespace orv::test

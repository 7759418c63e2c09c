// ".ovi" containers on virtual drives: a damaged file writes nothing, a damaged block is named,
// and the read-back finds what the drive changed.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

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

// A block the check passed that does not deliver its sectors as checked is named in the final
// box instead of a completed write: data damaged (the others are still written), a header
// changed after the check (nothing written where it now points), a stored block longer than its
// sectors (only the checked sectors written).
TEST(ImageWriteContainer, ABlockThatDoesNotDeliverItsCheckedSectorsIsNamed) {
  const std::filesystem::path dir = Dir();
  const ThreeBlocks three = MakeThreeBlocks(dir / "three.ovi");
  const auto flipped = [&](size_t at, uint8_t mask) {
    Bytes file = three.file;
    file[at] ^= mask;
    return file;
  };
  // Incompressible blocks put the last header far beyond what the reader has read when the first
  // write goes out.
  const ThreeBlocks noise = MakeThreeBlocks(dir / "noise.ovi", RandomCorpus(192 * kSector, 11));
  ASSERT_GT(noise.headers[2], 250000u);
  const Bytes data = PatternedDisc(3, kSector, 2);
  const uint32_t crc = CrcOf(Bytes(data.begin(), data.begin() + 2 * kSector));
  Bytes header = Header(60, data.size(), 2 * kSector, crc, "-nocomp-");
  PutLe32(&header[28], kSector);
  PutLe64(&header[32], 10);
  PutLe32(&header[40], 2);
  const std::vector<SectorRun> all = {{0, 32}, {32, 32}, {64, 32}, {96, 32}, {128, 32}, {160, 32}};
  const struct {
    const char* name;
    Bytes file;
    size_t moved;  // a header whose first sector becomes 5000 while the first write is under way; 0: none
    std::vector<SectorRun> writes;
    const char* named;
    int intact = -1;  // a block of `three` that must be on the disc as it was
  } cases[] = {
      {"compressed byte of the middle block", flipped(three.headers[1] + 60 + 200, 0x10), 0, all,
       "    セクタ 64 から 64 セクタ\r\n", 2},
      {"CRC of the last block", flipped(three.headers[2] + 48, 0x01), 0, all, "    セクタ 128 から 64 セクタ\r\n", 0},
      {"header changed after the check", noise.file, noise.headers[2], {{0, 32}, {32, 32}, {64, 32}, {96, 32}},
       "    セクタ 128 から 64 セクタ\r\n"},
      {"stored block longer than its sectors", Concat({header, data, {0}}), 0, {{10, 2}},
       "    セクタ 10 から 2 セクタ\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path path = dir / "block.ovi";
    WriteFileBytes(path, c.file);
    OperationRig rig("dvdram");
    ASSERT_TRUE(rig.Ready());
    WriteWatch watch(rig.SharedDrive(), [&](int number, VirtualDrive&, CommandContext&) {
      if (number != 1 || c.moved == 0) return;
      uint8_t sector[8];
      PutLe64(sector, 5000);
      std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
          .seekp(static_cast<std::streamoff>(c.moved + 32))
          .write(reinterpret_cast<const char*>(sector), sizeof sector);
    });
    ScriptedUi ui;
    ui.QueueAnswer(kIdYes);
    const ImageWriteResult result = RunImageWrite(ui, rig.List(), rig.Record(), path);
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.end, ImageWriteEnd::kFailed);
    EXPECT_EQ(watch.Writes(), c.writes);
    ASSERT_EQ(ui.Boxes().size(), 2u);
    EXPECT_EQ(ui.Boxes()[1].box.text, "イメージの次のブロックが壊れているため、正しく書き込まれていません。\r\n" +
                                          std::string(c.named));
    EXPECT_EQ(ui.Boxes()[1].box.style, kBoxOk | kBoxIconError);
    if (c.intact < 0) continue;
    Bytes sectors(64 * kSector);
    ASSERT_EQ(rig.Drive().GetMedium()->Read(64 * c.intact, 64, sectors.data()), 0);
    EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), three.disc.begin() + 64 * c.intact * kSector));
  }
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

// What the image tools conclude from a file: where a block goes, the verdict on a whole file at
// both depths, and the files they write in place of others.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "image/binary_file.h"
#include "image/file_replacement.h"
#include "image/image_check.h"
#include "image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

constexpr uint64_t kMaxAddress = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

BlockHeader Placed(uint64_t firstSector, uint32_t sectorCount, uint32_t sectorSize, uint64_t uncompressed) {
  BlockHeader h;
  h.firstSector = firstSector;
  h.sectorCount = sectorCount;
  h.sectorSize = sectorSize;
  h.uncompressedSize = uncompressed;
  return h;
}

TEST(PlaceBlock, DataMustFitItsSectorsAndTheirAddresses) {
  struct Case {
    const char* name;
    BlockHeader header;
    PlacementFault fault;
    uint64_t offset, end, sectors;
  };
  const Case cases[] = {
      {"erase backup tail", Placed(2295040, 64, 2048, 131072), PlacementFault::kNone, 2295040ull * 2048,
       2295104ull * 2048, 64},
      {"a partial last sector", Placed(10, 3, 2048, 5000), PlacementFault::kNone, 20480, 25480, 3},
      {"an empty block", Placed(7, 0, 0, 0), PlacementFault::kNone, 0, 0, 0},
      {"one byte more than its sectors", Placed(0, 64, 2048, 131073), PlacementFault::kOverSectors, 0, 0, 0},
      {"data but sector size 0", Placed(0, 64, 0, 1), PlacementFault::kOverSectors, 0, 0, 0},
      {"4 GiB in sectors of 4096 bytes", Placed(0, 1u << 20, 4096, uint64_t{1} << 32), PlacementFault::kNone, 0,
       uint64_t{1} << 32, 1u << 20},
      {"the largest sector count and size", Placed(0, ~0u, ~0u, 1), PlacementFault::kUnaddressable, 0, 0, 0},
      {"sectors ending at the last address", Placed(kMaxAddress / 2048 - 64, 64, 2048, 131072),
       PlacementFault::kNone, (kMaxAddress / 2048 - 64) * 2048, kMaxAddress / 2048 * 2048, 64},
      {"sectors ending past the last address", Placed(kMaxAddress / 2048 - 63, 64, 2048, 131072),
       PlacementFault::kUnaddressable, 0, 0, 0},
      {"first sector 2^64 - 1", Placed(~0ull, 1, 512, 0), PlacementFault::kUnaddressable, 0, 0, 0},
      {"count FFFFFFFFh for 4 sectors of data", Placed(0, ~0u, 2048, 8192), PlacementFault::kCountMismatch, 0, 0, 0},
      {"count one more than the data fills", Placed(0, 4, 2048, 3 * 2048), PlacementFault::kCountMismatch, 0, 0, 0},
      {"sectors but no data", Placed(7, 1, 2048, 0), PlacementFault::kCountMismatch, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BlockPlacement p = PlaceBlock(c.header);
    EXPECT_EQ(p.fault, c.fault);
    EXPECT_EQ(AdmitPlacedBlock(c.header), c.fault == PlacementFault::kNone);
    if (c.fault == PlacementFault::kNone) {
      EXPECT_EQ(p.offset, c.offset);
      EXPECT_EQ(p.end, c.end);
      EXPECT_EQ(p.sectors, c.sectors);
    }
  }
}

// A file of three LH5 blocks of 4 sectors at sectors 0, 64 and 1000, as the erase writes them.
class CheckImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempDir("check-image") / "c.ovi";
    ImageFile image;
    ASSERT_EQ(image.CreateImage(path_), 0);
    const uint64_t firsts[] = {0, 64, 1000};
    for (size_t i = 0; i < 3; ++i) {
      BlockHeader* h = image.BeginBlock(1);
      ASSERT_NE(h, nullptr);
      h->sectorSize = 2048;
      h->firstSector = firsts[i];
      h->sectorCount = 4;
      const Bytes data = TextCorpus(4 * 2048, static_cast<uint32_t>(40 + i));
      ASSERT_EQ(image.WriteBlockData(data.size(), data.data()), static_cast<int64_t>(data.size()));
      ASSERT_EQ(image.EndBlock(), 0);
    }
    ASSERT_EQ(image.CloseWriter(), 0);
    file_ = ReadWholeFile(path_);
    second_ = 60 + GetLe64(&file_[12]);
  }
  std::filesystem::path path_;
  Bytes file_;
  uint64_t second_ = 0;
};

// A data fault shows only when the data is read; a header that cannot be placed at both depths,
// and at kData it is not decoded. A file of the wrong kind is not walked at all.
TEST_F(CheckImageTest, FaultsShowAtTheDepthThatSeesThem) {
  Bytes damaged = file_;
  damaged[second_ + 60 + 20] ^= 0x10;  // block 2's stream
  PutLe32(&damaged[40], 2);             // block 1: 8192 bytes in 2 sectors
  WriteWholeFile(path_, damaged);

  ImageCheck headers;
  ASSERT_EQ(CheckImage(path_, CheckDepth::kHeaders, headers), 0);
  EXPECT_FALSE(headers.Good());
  EXPECT_EQ(headers.blocks[0].placement.fault, PlacementFault::kOverSectors);
  EXPECT_TRUE(headers.blocks[1].Good());
  EXPECT_EQ(headers.extent, 1004u * 2048);

  ImageCheck data;
  ASSERT_EQ(CheckImage(path_, CheckDepth::kData, data), 0);
  EXPECT_FALSE(data.Good());
  EXPECT_TRUE(data.walk.Complete());
  ASSERT_EQ(data.blocks.size(), 3u);
  EXPECT_TRUE(data.blocks[0].faults.refused);
  EXPECT_FALSE(data.blocks[0].decoded);
  EXPECT_TRUE(data.blocks[1].faults.Any());
  EXPECT_FALSE(data.blocks[1].faults.refused);
  EXPECT_TRUE(data.blocks[2].Good());

  ImageCheck folder;
  uint32_t error = 99;
  EXPECT_EQ(CheckImage(path_.parent_path(), CheckDepth::kHeaders, folder, nullptr, &error), -1);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(folder.walk.end, WalkEnd::kNotWalked);
  EXPECT_EQ(CheckImage(path_.parent_path() / "missing.ovi", CheckDepth::kData, folder), -1);
}

// A good file at both depths; an observer sees every piece and every block; one that stops the
// check leaves it unconcluded.
TEST_F(CheckImageTest, GoodFileAtBothDepthsAndAnObserverThatCanStop) {
  for (CheckDepth depth : {CheckDepth::kHeaders, CheckDepth::kData}) {
    ImageCheck check;
    ASSERT_EQ(CheckImage(path_, depth, check), 0);
    EXPECT_TRUE(check.Good() && check.walk.Complete());
    ASSERT_EQ(check.blocks.size(), 3u);
    EXPECT_EQ(check.imageBytes, 3u * 4 * 2048);
    EXPECT_EQ(check.extent, 1004u * 2048);
    EXPECT_EQ(check.blocks[2].placement.offset, 1000u * 2048);
    EXPECT_EQ(check.blocks[1].decoded, depth == CheckDepth::kData);
  }
  struct Observer : CheckObserver {
    bool Piece(size_t number, uint64_t done, uint64_t total) override {
      pieces.push_back({number, done, total});
      return number < stopAt;
    }
    void Checked(size_t number, const BlockCheck&) override { checked.push_back(number); }
    size_t stopAt = 99;
    std::vector<std::tuple<size_t, uint64_t, uint64_t>> pieces;
    std::vector<size_t> checked;
  };
  Observer all;
  ImageCheck check;
  ASSERT_EQ(CheckImage(path_, CheckDepth::kData, check, &all), 0);
  EXPECT_TRUE(check.Good());
  EXPECT_EQ(all.checked, (std::vector<size_t>{1, 2, 3}));
  ASSERT_FALSE(all.pieces.empty());
  EXPECT_EQ(all.pieces.back(), std::make_tuple(size_t{3}, uint64_t{8192}, uint64_t{8192}));

  Observer stopping;
  stopping.stopAt = 2;
  ASSERT_EQ(CheckImage(path_, CheckDepth::kData, check, &stopping), 0);
  EXPECT_FALSE(check.Good());
  EXPECT_EQ(check.walk.end, WalkEnd::kNotWalked);
  EXPECT_EQ(stopping.checked, (std::vector<size_t>{1, 2}));
}

// The replacement writes beside the target and renames onto it only at Commit; a discarded one
// leaves the target as it was and no temporary behind. A folder is refused before anything is made.
TEST(FileReplacement, TargetChangesOnlyAtCommit) {
  const auto dir = TempDir("replace");
  const auto target = dir / "out.img";
  WriteWholeFile(target, {1, 2, 3});
  auto files = [&] {
    return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
  };
  {
    FileReplacement output, other;
    ASSERT_EQ(output.Begin(target), 0);
    ASSERT_EQ(other.Begin(target), 0);
    EXPECT_EQ(output.Temporary().parent_path(), dir);
    EXPECT_NE(other.Temporary(), output.Temporary());  // a second replacement of the target
    WriteWholeFile(output.Temporary(), {9, 9});
    EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
  }  // both discarded
  EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
  EXPECT_EQ(files(), 1);
  FileReplacement output, fresh, folder, nowhere;
  ASSERT_EQ(output.Begin(target), 0);
  WriteWholeFile(output.Temporary(), {7});
  ASSERT_EQ(output.Commit(), 0);
  EXPECT_EQ(ReadWholeFile(target), (Bytes{7}));
  ASSERT_EQ(fresh.Begin(dir / "new.img"), 0);
  ASSERT_EQ(fresh.Commit(), 0);
  EXPECT_EQ(files(), 2);
  EXPECT_EQ(folder.Begin(dir), -1);
  EXPECT_EQ(folder.LastFault(), FileReplacement::Fault::kTargetIsDirectory);
  EXPECT_EQ(nowhere.Begin(dir / "no such folder" / "x.img"), -1);
  EXPECT_EQ(nowhere.LastFault(), FileReplacement::Fault::kCannotCreate);
  EXPECT_NE(nowhere.LastError(), 0u);
}

// The library reports a failed read as an exception; the file turns it into a short count (the
// decoder reads on a worker thread, where an exception would end the program).
TEST(BinaryFile, ReadErrorsAreCountsNotExceptions) {
  BinaryFile file;
  EXPECT_EQ(file.Open(TempDir("binary-folder"), BinaryFile::Mode::kRead), -1);
#ifdef __linux__
  // The start of the process's own memory is never mapped: reading it fails with EIO.
  ASSERT_EQ(file.Open("/proc/self/mem", BinaryFile::Mode::kRead), 0);
  uint8_t buffer[16];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(file.ReadByte(), -1);
  EXPECT_NE(file.LastError(), 0u);
  EXPECT_EQ(file.Open("/dev/null", BinaryFile::Mode::kRead), -1);
#endif
}

}  // namespace
}  // namespace orv::test

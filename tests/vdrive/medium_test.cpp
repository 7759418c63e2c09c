#include <gtest/gtest.h>

#include <thread>  // std::chrono: <chrono> itself does not compile with a CP932 execution charset
#include <fstream>
#include <unistd.h>

#include "vdrive/drive_config.h"
#include "vdrive/medium.h"

namespace orv {
namespace {

// A scratch folder of this process, removed with everything in it.
struct TempDir {
  std::filesystem::path path = std::filesystem::temp_directory_path() / ("orv-medium-" + std::to_string(::getpid()));
  TempDir() { std::filesystem::remove_all(path); std::filesystem::create_directories(path); }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::filesystem::path operator/(const char* name) const { return path / name; }
};

TEST(ImageMedium, MissingFileIsCreatedAtThePresetSizeAndBlocksLandAtTheirOffset) {
  TempDir dir;
  std::string error;
  auto medium = OpenImageMedium(dir / "disc.img", 2048, 2295104, false, error);
  ASSERT_NE(medium, nullptr) << error;
  EXPECT_EQ(std::filesystem::file_size(dir / "disc.img"), 2295104ull * 2048);
  EXPECT_EQ(medium->BlockCount(), 2295104u);
  // Block 2295103 starts at 4,700,370,944: past 2^32, where a 32-bit offset would wrap.
  std::vector<uint8_t> block(4096, 0xA5);
  ASSERT_EQ(medium->Write(3, 2, block.data()), 0);
  ASSERT_EQ(medium->Write(2295103, 1, block.data()), 0);
  std::ifstream in(dir / "disc.img", std::ios::binary);
  for (const auto& [offset, value] : {std::pair{3ull * 2048 - 1, 0}, {3ull * 2048, 0xA5}, {5ull * 2048 - 1, 0xA5},
                                      {5ull * 2048, 0}, {2295103ull * 2048 - 1, 0}, {2295103ull * 2048, 0xA5},
                                      {2295103ull * 2048 - 0x100000000ull, 0}}) {
    in.seekg(static_cast<std::streamoff>(offset));
    EXPECT_EQ(in.get(), value) << offset;
  }
  std::vector<uint8_t> back(3 * 2048, 1);
  ASSERT_EQ(medium->Read(2, 3, back.data()), 0);
  EXPECT_EQ(back[2047], 0);
  EXPECT_EQ(back[2048], 0xA5);
  ASSERT_EQ(medium->Read(2295103, 1, back.data()), 0);
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 2048), std::vector<uint8_t>(2048, 0xA5));
}

TEST(ImageMedium, ExistingFileGivesTheSize) {
  TempDir dir;
  { std::ofstream(dir / "raw.img", std::ios::binary) << std::string(5 * 2048 + 100, 'x'); }
  std::string error;
  auto medium = OpenImageMedium(dir / "raw.img", 2048, 2295104, true, error);
  ASSERT_NE(medium, nullptr) << error;
  EXPECT_EQ(medium->BlockCount(), 5u);  // the partial tail is not a block
  EXPECT_TRUE(medium->ReadOnly());
  EXPECT_EQ(std::filesystem::file_size(dir / "raw.img"), 5u * 2048 + 100);  // left as it is
}

TEST(ImageMedium, UnusableFilesAreReported) {
  TempDir dir;
  { std::ofstream(dir / "tiny.img", std::ios::binary) << "abc"; }
  std::string error;
  EXPECT_EQ(OpenImageMedium(dir / "tiny.img", 2048, 10, false, error), nullptr);
  EXPECT_NE(error.find("smaller than one block"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(OpenImageMedium(dir / "no-such-dir" / "x.img", 2048, 10, false, error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(MemoryMedium, UnwrittenBlocksReadAsZero) {
  std::vector<uint8_t> block(2048, 7);
  ASSERT_EQ(MakeMemoryMedium(2048, 4171712, true)->Read(4171711, 1, block.data()), 0);
  EXPECT_EQ(block, std::vector<uint8_t>(2048, 0));
}

TEST(DriveConfig, ImageBackedDriveFromTheVariable) {
  TempDir dir;
  std::vector<VirtualDriveSpec> driveSpecs;
  std::string error;
  const std::string text = "G=hdd:" + (dir / "disk.img").string();
  ASSERT_EQ(ParseVirtualDriveSpecs(text, driveSpecs, error), 0) << error;
  auto drive = MakeVirtualDrive(driveSpecs.at(0), error);
  ASSERT_NE(drive, nullptr) << error;
  EXPECT_EQ(std::filesystem::file_size(dir / "disk.img"), 16777216ull * 512);
  std::vector<uint8_t> data(512, 0x3C);
  const uint8_t write[10] = {0x2A, 0, 0, 0, 0, 1, 0, 0, 1, 0};
  ASSERT_EQ(drive->Execute(write, DataDirection::kOut, data.data(), 512).status, kScsiStatusGood);
  std::ifstream in(dir / "disk.img", std::ios::binary);
  in.seekg(512);
  EXPECT_EQ(in.get(), 0x3C);
}

// Each row is one READ(10) in a sequence on the same drive: the faults keep their state.
TEST(DriveConfig, MediaFaultsFailAndDelayReads) {
  std::vector<VirtualDriveSpec> driveSpecs;
  std::string error;
  ASSERT_EQ(ParseVirtualDriveSpecs("E=dvdram:bad=100+4:weak=200+2+2:slow=300+1+50", driveSpecs, error), 0);
  auto drive = MakeVirtualDrive(driveSpecs.at(0), error);
  ASSERT_NE(drive, nullptr) << error;
  struct Read {
    const char* name;
    uint32_t lba, blocks;
    bool fails;
    int minimumMs;
  };
  const Read reads[] = {
      {"before the bad run", 90, 10, false, 0},   {"into the bad run", 96, 8, true, 0},
      {"last bad sector", 103, 1, true, 0},        {"bad again", 103, 1, true, 0},
      {"after the bad run", 104, 1, false, 0},     {"weak first try", 200, 2, true, 0},
      {"weak 201 alone, its 2nd", 201, 1, true, 0}, {"weak 201 reads", 201, 1, false, 0},
      {"weak 200 its 2nd try", 200, 1, true, 0},   {"weak run reads", 199, 4, false, 0},
      {"slow", 299, 2, false, 50},
  };
  std::vector<uint8_t> data(16 * 2048);
  for (const Read& r : reads) {
    SCOPED_TRACE(r.name);
    const uint8_t read[10] = {0x28, 0, 0, 0, static_cast<uint8_t>(r.lba >> 8), static_cast<uint8_t>(r.lba), 0, 0,
                              static_cast<uint8_t>(r.blocks), 0};
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = drive->Execute(read, DataDirection::kIn, data.data(), r.blocks * 2048);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(outcome.status != kScsiStatusGood, r.fails);
    if (r.fails) {
      EXPECT_EQ(outcome.sense[2] & 0x0F, 0x03);  // MEDIUM ERROR
    }
    EXPECT_GE(ms.count(), r.minimumMs);
  }
}

}  // namespace
}  // namespace orv

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orv

// Disc image and memory media, and the ORVANE_VIRTUAL_DRIVES and ORVANE_VIRTUAL_TIMING values.
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
  std::vector<uint8_t> back(2048, 1);
  ASSERT_EQ(medium->Read(2295103, 1, back.data()), 0);
  EXPECT_EQ(back, std::vector<uint8_t>(2048, 0xA5));
}

TEST(ImageMedium, ExistingFileGivesTheSizeAndUnusableOnesAreReported) {
  TempDir dir;
  { std::ofstream(dir / "raw.img", std::ios::binary) << std::string(5 * 2048 + 100, 'x'); }
  { std::ofstream(dir / "tiny.img", std::ios::binary) << "abc"; }
  std::string error;
  auto medium = OpenImageMedium(dir / "raw.img", 2048, 2295104, true, error);
  ASSERT_NE(medium, nullptr) << error;
  EXPECT_EQ(medium->BlockCount(), 5u);  // the partial tail is not a block
  EXPECT_TRUE(medium->ReadOnly());
  EXPECT_EQ(std::filesystem::file_size(dir / "raw.img"), 5u * 2048 + 100);  // left as it is
  EXPECT_EQ(OpenImageMedium(dir / "tiny.img", 2048, 10, false, error), nullptr);
  EXPECT_NE(error.find("smaller than one block"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(OpenImageMedium(dir / "no-such-dir" / "x.img", 2048, 10, false, error), nullptr);
  EXPECT_FALSE(error.empty());
}

// Each row is one READ(10) in a sequence on the same drive: the faults keep their state (the
// delays of slow places are the simulated clock's test).
TEST(DriveConfig, MediaFaultsFailReads) {
  std::vector<VirtualDriveSpec> driveSpecs;
  std::string error;
  ASSERT_EQ(ParseVirtualDriveSpecs("E=dvdram:bad=100+4:weak=200+2+2", driveSpecs, error), 0);
  auto drive = MakeVirtualDrive(driveSpecs.at(0), error);
  ASSERT_NE(drive, nullptr) << error;
  const struct {
    const char* name;
    uint8_t lba, blocks;
    bool fails;  // with MEDIUM ERROR
  } reads[] = {
      {"before the bad run", 90, 10, false},  {"into the bad run", 96, 8, true},
      {"last bad sector", 103, 1, true},      {"after the bad run", 104, 1, false},
      {"weak first try", 200, 2, true},       {"weak 201 alone, its 2nd", 201, 1, true},
      {"weak 201 reads", 201, 1, false},      {"weak 200 its 2nd try", 200, 1, true},
      {"weak run reads", 199, 4, false},
  };
  std::vector<uint8_t> data(16 * 2048);
  for (const auto& r : reads) {
    const uint8_t read[10] = {0x28, 0, 0, 0, 0, r.lba, 0, 0, r.blocks, 0};
    const auto outcome = drive->Execute(read, DataDirection::kIn, data.data(), r.blocks * 2048);
    EXPECT_EQ(outcome.status == kScsiStatusGood ? 0 : outcome.sense[2], r.fails ? 0x03 : 0) << r.name;
  }
}

TEST(DriveConfig, WellFormedValues) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"E=dvdram:/tmp/disc.img,F=dvdrom,G=hdd:/tmp/disk.img,H=nodisc",
       "E dvdram '/tmp/disc.img'\nF dvdrom ''\nG hdd '/tmp/disk.img'\nH nodisc ''\n"},
      {"Z=dvdrom:/a b/c:d.iso", "Z dvdrom '/a b/c:d.iso'\n"},
      {"E=replay:/tmp/trace.jsonl,F=dvdram", "E replay '/tmp/trace.jsonl'\nF dvdram ''\n"},
      {"E=dvdram:C:\\d.img:bad=1000+16:slow=5000+200+40",
       "E dvdram 'C:\\d.img' bad=1000+16 slow=5000+200+40\n"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    std::vector<VirtualDriveSpec> driveSpecs;
    std::string error, listed;
    ASSERT_EQ(ParseVirtualDriveSpecs(text, driveSpecs, error), 0) << error;
    for (const VirtualDriveSpec& d : driveSpecs) {
      listed += std::string(1, d.letter) + " " + d.preset + " '" + d.image + "'";
      for (const MediumFault& f : d.faults) listed += " " + MediumFaultText(f);
      listed += "\n";
    }
    EXPECT_EQ(listed, expected);
  }
}

TEST(DriveConfig, MalformedValuesAreRejectedWhole) {
  struct Case {
    const char* text;
    const char* mentions;
  };
  const Case cases[] = {
      {"E=dvdram,", "entry 2"},
      {"E=dvdram,,F=hdd", "empty entry"},
      {"E", "LETTER=PRESET"},
      {"1=hdd", "A to Z"},
      {"E=hdd:", "empty image path"},
      {"E=hdd,e=dvdram", "configured twice"},
      {"H=nodisc:/tmp/x.img", "no disc"},
      {"E=cdrom", "unknown preset \"cdrom\" (known: dvdram, dvdrom, hdd, nodisc, replay:TRACE)"},
      {"E=replay", "preset \"replay\" answers from a trace: replay:TRACE"},
      {"E=dvdram:/d.img:bad=5", "bad=FIRST+COUNT"},
      {"E=dvdram:/d.img:bad=5+0", "COUNT above 0"},
      {"E=dvdram:/d.img:weak=5+1", "weak=FIRST+COUNT+TRIES"},
      {"E=dvdram:slow=5+1+x", "slow=FIRST+COUNT+MS"},
      {"H=nodisc:bad=1+2", "no media faults"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<VirtualDriveSpec> driveSpecs = {{'Q', "hdd", "", {}}};
    std::string error;
    EXPECT_EQ(ParseVirtualDriveSpecs(c.text, driveSpecs, error), -1);
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    EXPECT_NE(error.find("ORVANE_VIRTUAL_DRIVES"), std::string::npos) << error;
    ASSERT_EQ(driveSpecs.size(), 1u);  // nothing kept from a faulty value
    EXPECT_EQ(driveSpecs[0].letter, 'Q');
  }
}

TEST(DriveConfig, TimingSwitch) {
  const std::tuple<const char*, int, bool> cases[] = {{"", 0, false}, {"0", 0, false}, {"1", 0, true},
                                                      {"yes", -1, true}, {"10", -1, true}};
  for (const auto& [text, result, enabled] : cases) {
    bool value = !enabled;  // a refused value leaves the switch alone
    std::string error;
    EXPECT_EQ(ParseVirtualTiming(text, value, error), result) << text;
    EXPECT_EQ(value, result == 0 ? enabled : !enabled) << text;
    EXPECT_EQ(error.find("ORVANE_VIRTUAL_TIMING") != std::string::npos, result != 0) << error;
  }
}

}  // namespace
}  // namespace orv

// `orvane-cli backup` and `compare` run in-process on a file-backed virtual DVD-RAM disc of text,
// zeros and noise: the backup written back over other data gives the disc back, bad sectors
// (and only those) are named and left as they were, and compare names exactly the runs changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/cli_run.h"
#include "image/image_test_support.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSector = 2048;
constexpr uint64_t kDiscSectors = 1000;

class BackupCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("cli-backup");
    disc_ = dir_ / "disc.img";
    original_ = TextCorpus(300 * kSector, 31);
    original_.resize(600 * kSector, 0);
    const Bytes noise = RandomCorpus(400 * kSector, 32);
    original_.insert(original_.end(), noise.begin(), noise.end());
  }

  CliOutcome Run(const std::string& faults, std::vector<std::string> args) {
    std::vector<std::string> all = {"--virtual-only", "--virtual", "E=dvdram:" + disc_.string() + faults};
    all.insert(all.end(), args.begin(), args.end());
    return RunCliIn(dir_, all);
  }

  fs::path dir_;
  fs::path disc_;
  Bytes original_;
};

TEST_F(BackupCommandTest, RoundTripReportsBadRunsAndComparesExactly) {
  struct Case {
    const char* name;
    const char* faults;
    std::vector<std::string> options;
    int code;
    std::vector<std::pair<uint64_t, uint64_t>> bad;
  };
  // A weak sector fails its long transfer, then its first reads alone: 3 failing tries are
  // recovered by the default 2 retries, 4 are not. A scan's map puts the blocks of its slow, bad
  // and recovered places last in the image, which the write and compare take all the same.
  const std::string scan = (dir_ / "scan.map").string();
  const std::string scanText =
      "sectors 1000 size 2048\n0 300 done\n300 5 bad\n305 395 done\n700 3 recovered\n703 97 done\n800 50 slow\n"
      "850 150 done\n";
  WriteWholeFile(scan, Bytes(scanText.begin(), scanText.end()));
  const Case cases[] = {
      {"slow and bad places read last", ":bad=300+5:weak=700+3+3", {"--surface-map", scan}, 1, {{300, 5}}},
      {"weak beyond the retries", ":weak=700+3+4:bad=999+1", {}, 1, {{700, 3}, {999, 1}}},
      {"more retries", ":weak=700+3+4", {"--retries", "3"}, 0, {}},
  };
  const Bytes other(kDiscSectors * kSector, 0xA5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(disc_, original_);
    const fs::path image = dir_ / (std::string(c.name) + ".ovi");
    std::vector<std::string> args = {"backup", "E:", image.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliOutcome backup = Run(c.faults, args);
    EXPECT_EQ(backup.code, c.code) << backup.err;
    std::string bad;
    uint64_t badCount = 0;
    for (const auto& [first, count] : c.bad) {
      bad += std::to_string(first) + " " + std::to_string(count) + "\n";
      badCount += count;
    }
    EXPECT_EQ(backup.out, (bad.empty() ? "" : "Bad sectors (first count):\n" + bad) + "Backup complete: " +
                              std::to_string(kDiscSectors - badCount) + " sectors read, " + std::to_string(badCount) +
                              " bad, 0 not tried.\n");

    WriteWholeFile(disc_, other);
    ASSERT_EQ(Run("", {"write", "E:", image.string(), "--yes"}).code, 0);
    Bytes expected = original_;
    for (const auto& [first, count] : c.bad)
      std::fill(expected.begin() + first * kSector, expected.begin() + (first + count) * kSector, 0xA5);
    EXPECT_TRUE(ReadWholeFile(disc_) == expected);

    const std::string compared = std::to_string(kDiscSectors - badCount) + " sectors compared.\n";
    CliOutcome compare = Run("", {"compare", "E:", image.string()});
    EXPECT_EQ(compare.code, 0) << compare.err;
    EXPECT_EQ(compare.out, "Equal: " + compared);
    Bytes flipped = ReadWholeFile(disc_);
    for (const uint64_t byte : {uint64_t{10 * kSector + 5}, uint64_t{450 * kSector}, uint64_t{451 * kSector + 2047},
                                uint64_t{998 * kSector + 1}})
      flipped[byte] ^= 0x01;
    WriteWholeFile(disc_, flipped);
    compare = Run("", {"compare", "E:", image.string()});
    EXPECT_EQ(compare.code, 1);
    EXPECT_EQ(compare.out, "Differing sectors (first count):\n10 1\n450 2\n998 1\nNot equal: " + compared);
  }
  // A raw image that ends inside a sector is compared as the write leaves the disc: its last
  // sector filled up with zeros (here sector 300, zeros on the disc too).
  WriteWholeFile(disc_, original_);
  const fs::path raw = dir_ / "part.img";
  WriteWholeFile(raw, Bytes(original_.begin(), original_.begin() + 300 * kSector + 100));
  const CliOutcome partial = Run("", {"compare", "E:", raw.string()});
  EXPECT_EQ(partial.code, 0) << partial.out;
  EXPECT_EQ(partial.out, "Equal: 301 sectors compared.\n");
}

// Paths a backup must never write to or cut back: each refused before anything changes, the
// disc image and the user's file left byte for byte as they were.
TEST_F(BackupCommandTest, RefusesFilesItMustNotWrite) {
  const std::string notTried = "sectors 1000 size 2048\n0 1000 not-tried\n";
  const Bytes userFile = TextCorpus(5000, 33);
  const struct {
    const char* name;
    const char* disc;  // the virtual drive's image file
    const char* file;  // the backup's FILE
    bool map;          // a map of the disc, not tried, beside FILE
    bool usersFile;    // FILE holds a user's file of other content
    std::vector<std::string> options;
    const char* message;
  } cases[] = {
      {"the disc's own image", "disc.img", "disc.img", false, false, {}, "disc.img is the file that holds the disc"},
      {"the disc's own image, resumed", "disc.img", "disc.img", true, false, {"--resume"},
       "disc.img is the file that holds the disc"},
      {"the map's name is the disc's image", "disc.map", "disc", false, false, {"--resume"},
       "disc.map is the file that holds the disc"},
      {"a user's file with a map beside it", "disc.img", "user.iso", true, true, {"--resume"},
       "user.iso does not start with an image block, so it is not the backup its map describes; nothing was changed"},
      {"resumed without a map", "disc.img", "new.ovi", false, false, {"--resume"},
       "new.ovi.map to resume from"},
      {"a folder", "disc.img", ".", false, false, {}, "is a folder; the backup needs a file of its own"},
      {"an unreadable surface map", "disc.img", "new.ovi", false, false, {"--surface-map", "no.map"},
       "--surface-map no.map: cannot read the map"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    disc_ = dir_ / c.disc;
    WriteWholeFile(disc_, original_);
    const fs::path file = dir_ / c.file;
    if (c.usersFile) WriteWholeFile(file, userFile);
    if (c.map) WriteWholeFile(fs::path(file) += ".map", Bytes(notTried.begin(), notTried.end()));
    std::vector<std::string> args = {"backup", "E:", file.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliOutcome run = Run("", args);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(ReadWholeFile(disc_) == original_);
    if (c.usersFile) {
      EXPECT_TRUE(ReadWholeFile(file) == userFile);
    }
  }
}

}  // namespace
}  // namespace orv::test

// The console front end run in-process on virtual drives, asserting the exact output a user
// sees (UTF-8, LF line ends) and the exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"
#include "app/cli/cli_run.h"
#include "device/device_handle.h"
#include "device/ports/virtual_port.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

// UTF-8 text from a u8 literal (plain literals are CP932 in this build).
std::string U8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

class Cli : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::CaseDir("e2e"); }
  void TearDown() override { fs::remove_all(dir_); }

  test::CliOutcome Exec(const std::vector<std::string>& args) { return test::RunCliIn(dir_, args); }
  // Only the virtual drives: the computer's own drives never reach the output.
  test::CliOutcome Exec(const std::string& drives, std::vector<std::string> args) {
    args.insert(args.begin(), {"--virtual-only", "--virtual", drives});
    return Exec(args);
  }

  fs::path dir_;
};

const char kPresets[] = "E=dvdram,F=dvdrom,G=hdd,H=nodisc";

TEST_F(Cli, ScanListsTheVirtualPresetsOrNone) {
  const test::CliOutcome run = Exec(kPresets, {"scan"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out,
            "Drive   Identification                  Type                    RMB     Size\n"
            "E:      ORVANE   VIRTUAL DVD-RAM  1.01  CD/DVD-ROM Drive        RMB     4.7G\n"
            "F:      ORVANE   VIRTUAL DVD-ROM  1.01  CD/DVD-ROM Drive        RMB     8.5G\n"
            "G:      ORVANE   VIRTUAL DISK     1.01  Direct access device    FIX     8.5G\n"
            "H:      ORVANE   VIRTUAL DVD-RAM  1.01  CD/DVD-ROM Drive        RMB\n");
  EXPECT_EQ(run.err, "");  // no progress drawn when the error stream is not a terminal
  const test::CliOutcome none = Exec({"--virtual-only", "scan"});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "No drives found.\n");
}

// The information pane text with LF line ends, in UTF-8; the drive named as the list names it,
// in lower case, without the colon, or by its device path.
TEST_F(Cli, SummaryOfEachPreset) {
  const std::string dvdram = U8(
      u8"E: ORVANE   VIRTUAL DVD-RAM  1.01\n"
      u8"    容量 2,295,104×2,048 = 4,700,372,992バイト (   4.7G)\n"
      u8" No [開始 CHS - 終了 CHS] 開始セクタ   セクタ数 HH:パーティション\n"
      u8"  1 [000 01 01-08E DC 0E]         63    2295041 0C:FAT32 LBA               4.7G\n");
  std::vector<std::pair<std::string, std::string>> cases = {
      {"G:", U8(u8"G: ORVANE   VIRTUAL DISK     1.01\n"
                u8"    容量 16,777,216×512 = 8,589,934,592バイト (   8.5G)\n"
                u8" No [開始 CHS - 終了 CHS] 開始セクタ   セクタ数 HH:パーティション\n"
                u8"* 1 [000 20 21-105 35 30]       2048    4194304 0C:FAT32 LBA               2.1G\n"
                u8"  2 [105 35 31-20A 4B 01]    4196352    4194304 83:Linix native            2.1G\n"
                u8"  3 [20A 4B 02-391 EA 19]    8390656    6291456 0F:Extended LBA            3.2G\n"
                u8"  5 [20A 6B 22-28C F5 29]    8392704    2097152 07:NTFS                    1.0G\n"
                u8"  6 [28D 17 0B-30F A1 12]   10491904    2097152 82:Linux swap/Solaris86    1.0G\n"
                u8"                            14682112    2095104   :（未使用）\n")},
      {"F", U8(u8"F: ORVANE   VIRTUAL DVD-ROM  1.01\n"  // no table
               u8"    容量 4,171,712×2,048 = 8,543,666,176バイト (   8.5G)\n")},
      {"H:", "H: ORVANE   VIRTUAL DVD-RAM  1.01\n"},  // no medium
  };
  for (const char* name : {"E:", "e:", "E", "e", "\\\\.\\E:"}) cases.emplace_back(name, dvdram);
  for (const auto& [drive, want] : cases) {
    const test::CliOutcome run = Exec(kPresets, {"summary", drive});
    EXPECT_EQ(run.code, 0) << drive;
    EXPECT_EQ(run.out, want) << drive;
    EXPECT_EQ(run.err, "") << drive;
  }
}

TEST_F(Cli, NewImageGetsTablesAndAnExistingOneIsNeverWritten) {
  const fs::path created = dir_ / "disc.img";
  test::CliOutcome run = Exec("E=dvdram:" + created.string(), {"summary", "E:"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("0C:FAT32 LBA"), std::string::npos);
  ASSERT_TRUE(fs::exists(created));

  // A blank image of the user's: shown as it is, not given a table.
  const fs::path blank = dir_ / "blank.img";
  { std::ofstream(blank, std::ios::binary) << std::string(2048 * 100, '\0'); }
  run = Exec("E=dvdram:" + blank.string(), {"summary", "E:"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, U8(u8"E: ORVANE   VIRTUAL DVD-RAM  1.01\n"
                        u8"    容量 100×2,048 = 204,800バイト ( 204.8k)\n"));
  std::ifstream in(blank, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, std::string(2048 * 100, '\0'));
}

// Another program (here a second port: an open of its own on the image file, as a second process
// has) holds a virtual drive's image: an exclusive holder refuses everyone, a shared one lets a
// writer (write or erase) in only when it agrees to share (--shared).
TEST_F(Cli, AnImageAnotherProgramHoldsIsInUse) {
  const fs::path disc = dir_ / "disc.img", raw = dir_ / "raw.img";
  const std::string before(2048 * 256, '\xA5'), written = std::string(2048 * 4, 'Z') + before.substr(2048 * 4);
  // The erase zeroes sectors 0-63 and 192-255 of the 256.
  const std::string zeros(2048 * 64, '\0'), erased = zeros + before.substr(2048 * 64, 2048 * 128) + zeros;
  std::ofstream(raw, std::ios::binary) << std::string(2048 * 4, 'Z');
  const std::vector<std::string> write = {"write", "E:", raw.string(), "--yes"};
  const struct {
    const char* name;
    uint8_t holder;
    std::vector<std::string> args;  // a command, or options of the write
    int code;
    const std::string& after;
  } cases[] = {
      {"write while an erase or a write runs", kOpenExclusiveReadWrite, {"--shared"}, 1, before},
      {"erase while a write runs", kOpenExclusiveReadWrite, {"erase", "E:", "--no-backup", "--yes", "--shared"}, 1,
       before},
      {"summary while a write runs", kOpenExclusiveReadWrite, {"summary", "E:"}, 1, before},
      {"write while a reader runs, not shared", kOpenSharedReadWrite, {}, 1, before},
      {"write while a reader runs, shared", kOpenSharedReadWrite, {"--shared"}, 0, written},
      {"summary while a reader runs", kOpenSharedReadWrite, {"summary", "E:"}, 0, before},
      {"erase while a reader runs, not shared", kOpenSharedReadWrite, {"erase", "E:", "--no-backup", "--yes"}, 1,
       before},
      {"erase while a reader runs, shared", kOpenSharedReadWrite,
       {"erase", "E:", "--no-backup", "--yes", "--shared"}, 0, erased},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(disc, std::ios::binary) << before;
    std::string why;
    VirtualPort other(MakeOsPort());
    other.AddDrive('E', std::make_shared<VirtualDrive>(*FindDrivePreset("dvdram"),
                                                       OpenImageMedium(disc, 2048, 0, false, why)));
    const PortHandle held = other.Open("\\\\.\\E:", c.holder);
    ASSERT_NE(held, kNoPortHandle) << why;
    std::vector<std::string> args = c.args;
    if (args.size() < 2) args.insert(args.begin(), write.begin(), write.end());
    EXPECT_EQ(Exec("E=dvdram:" + disc.string(), args).code, c.code);
    std::ifstream in(disc, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == c.after);
    other.Close(held);
  }
}

// Failures are one line; a file that exists is refused for what it is, not with an untrue system reason.
TEST_F(Cli, ErrorsAreOneLineWithExitCodeOne) {
  const std::string file = (dir_ / "not-a-drive.bin").string();
  std::ofstream(file, std::ios::binary) << std::string(4096, 'x');
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--virtual-only", "--virtual", kPresets, "summary", "Q:"}, "orvane-cli: drive Q: not found\n"},
      // Only virtual drives open: a path of the computer's own is refused for that reason.
      {{"--virtual-only", "--virtual", kPresets, "summary", "\\\\.\\PhysicalDrive9"},
       "orvane-cli: \\\\.\\PhysicalDrive9 is not a drive the program can use: --virtual-only opens virtual drives "
       "only\n"},
      {{"--virtual-only", "--virtual", kPresets, "summary", file},
       "orvane-cli: " + file + " is not a drive the program can use: --virtual-only opens virtual drives only\n"},
      {{"--virtual-only", "summary", "\\\\.\\E:"},
       "orvane-cli: \\\\.\\E: is not a drive the program can use: --virtual-only opens virtual drives only\n"},
      {{"--virtual-only", "--virtual", "E=bogus", "scan"},
       "orvane-cli: --virtual: entry 1 \"E=bogus\": unknown preset \"bogus\" (known: dvdram, dvdrom, hdd, "
       "nodisc, replay:TRACE)\n"},
      {{"--virtual-only", "--virtual", "E=hdd,E=dvdram", "scan"}, "orvane-cli: --virtual: "},
  };
  for (const Case& c : cases) {
    const test::CliOutcome run = Exec(c.args);
    EXPECT_EQ(run.code, 1) << c.err;
    EXPECT_EQ(run.out, "") << c.err;
    EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
  }
}

// Without --virtual-only the path reaches the system; a missing one fails with its reason.
TEST_F(Cli, AMissingPathSaysTheSystemsReason) {
  const std::string missing = (dir_ / "missing.img").string();
  const test::CliOutcome run = Exec({"--virtual", kPresets, "summary", missing});
  EXPECT_EQ(run.code, 1);
  const std::string start = "orvane-cli: cannot open drive " + missing + ": ";
  EXPECT_EQ(run.err.substr(0, start.size()), start);
  EXPECT_GT(run.err.size(), start.size() + 1) << "the system's reason follows";
}

// A command line the program cannot run is exit code 2, apart from every failure (1).
TEST_F(Cli, UsageErrorsAndHelp) {
  test::CliOutcome run = Exec({});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("A subcommand is required"), std::string::npos);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"summary"}, {"frobnicate"}, {"scan", "--bogus"}, {"--trace-data", "scan"}, {"--trace"},
           {"backup", "E:", "x.ovi", "--sectors", "16"}, {"backup", "E:", "x.ovi", "--sectors", "1:0"},
           {"write", "E:"}}) {
    run = Exec(args);
    EXPECT_EQ(run.code, 2) << args.front();
    EXPECT_EQ(run.out, "") << args.front();
    EXPECT_NE(run.err, "") << args.front();
  }
  for (const char* command : {"scan", "summary"}) {
    run = Exec({command, "--help"});
    EXPECT_EQ(run.code, 0) << command;
    EXPECT_NE(run.out.find(std::string("Usage: orvane-cli ") + command), std::string::npos) << run.out;
  }
  run = Exec({"--help"});
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("--virtual"), std::string::npos);
}

}  // namespace
}  // namespace orv

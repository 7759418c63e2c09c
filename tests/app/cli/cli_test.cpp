// The console in-process on virtual drives: exact output (UTF-8, LF), exit codes; `info`, --json.
#include <gtest/gtest.h>

#include "app/cli/cli_run.h"
#include "app/cli/info_command.h"
#include "device/device_handle.h"
#include "device/ports/virtual_port.h"
#include "toolkit/console_ui.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

using Cli = test::CliCase;

const char kPresets[] = "E=dvdram,F=dvdrom,G=hdd,H=nodisc";

// The scan's list and each preset's summary; the drive named in lower case, without colon, by path.
TEST_F(Cli, ScanAndSummaryOfEachPreset) {
  test::NamedTexts texts;
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"scan"}, {"summary", "E:"}, {"summary", "F"}, {"summary", "G:"}, {"summary", "H:"}}) {
    const test::CliOutcome run = On(kPresets, command);
    EXPECT_EQ(run.code, 0) << command.back();
    EXPECT_EQ(run.err, "") << command.back();  // no progress drawn when the error stream is not a terminal
    texts.emplace_back(command.back(), run.out);
  }
  test::ExpectGoldenOutputs("scan_summary.txt", texts);
  for (const char* name : {"e:", "E", "e", "\\\\.\\E:"}) {
    EXPECT_EQ(On(kPresets, {"summary", name}).out, texts[1].second) << name;
  }
  const test::CliOutcome none = Exec({"--virtual-only", "scan"});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "No drives found.\n");
}

// A blank image of the user's is shown as it is, never given a table.
TEST_F(Cli, AnExistingImageIsNeverWritten) {
  const fs::path blank = dir_ / "blank.img";
  { std::ofstream(blank, std::ios::binary) << std::string(2048 * 100, '\0'); }
  const test::CliOutcome run = On("E=dvdram:" + blank.string(), {"summary", "E:"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, ConsoleText("E: ORVANE   VIRTUAL DVD-RAM  1.01\n    容量 100×2,048 = 204,800バイト ( 204.8k)\n"));
  EXPECT_EQ(test::ReadText(blank), std::string(2048 * 100, '\0'));
}

// Another program (a second port's open of the image) holds it: an exclusive holder refuses everyone,
// a shared one lets a writer (write or erase) in only when it agrees to share (--shared).
TEST_F(Cli, AnImageAnotherProgramHoldsIsInUse) {
  const fs::path disc = Disc(), raw = dir_ / "raw.img";
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
    EXPECT_EQ(OnDisc(args).code, c.code);
    EXPECT_TRUE(test::ReadText(disc) == c.after);
    other.Close(held);
  }
}

// Failures are one line; a file that exists is refused for what it is, not with an untrue system reason.
TEST_F(Cli, ErrorsAreOneLineWithExitCodeOne) {
  const std::string file = (dir_ / "not-a-drive.bin").string();
  std::ofstream(file, std::ios::binary) << std::string(4096, 'x');
  const struct {
    std::string drives, drive, err;
  } cases[] = {
      {kPresets, "Q:", "orvane-cli: drive Q: not found\n"},
      {kPresets, file,
       "orvane-cli: " + file + " is not a drive the program can use: --virtual-only opens virtual drives only\n"},
      {"E=bogus", "E:",
       "orvane-cli: --virtual: entry 1 \"E=bogus\": unknown preset \"bogus\" (known: dvdram, dvdrom, hdd, "
       "nodisc, replay:TRACE)\n"},
  };
  for (const auto& c : cases) {
    const test::CliOutcome run = On(c.drives, {"summary", c.drive});
    EXPECT_EQ(run.code, 1) << c.err;
    EXPECT_EQ(run.out, "") << c.err;
    EXPECT_EQ(run.err, c.err);
  }
}

// A command line the program cannot run is exit code 2, apart from every failure (1).
TEST_F(Cli, UsageErrorsAndHelp) {
  test::CliOutcome run = Exec({});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("A subcommand is required"), std::string::npos);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"summary"}, {"scan", "--bogus"}, {"--trace-data", "scan"}, {"backup", "E:", "x.ovi", "--sectors", "16"},
           {"backup", "E:", "x.ovi", "--sectors", "1:0"}, {"write", "E:"},
           {"image", "extract", "a", "b", "--max-size", "0"}, {"image", "extract", "a", "b", "--max-size", "lots"}}) {
    run = Exec(args);
    EXPECT_EQ(run.code, 2) << args.front();
    EXPECT_EQ(run.out, "") << args.front();
    EXPECT_NE(run.err, "") << args.front();
  }
  run = Exec({"summary", "--help"});
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(test::Has(run.out, "Usage: orvane-cli summary")) << run.out;
}

// `info E:` on a virtual drive of `preset`, run in-process.
test::CliOutcome RunInfo(const char* preset, std::vector<std::string> options = {}) {
  std::vector<std::string> args = {"--virtual-only", "--virtual", std::string("E=") + preset, "info", "E:"};
  args.insert(args.end(), options.begin(), options.end());
  return test::RunCliIn(test::CaseDir("info"), args);
}

// The shipped traces (recorded with the program) replay to their presets' reports: old traces stay readable.
TEST(InfoCommand, WholeReportOfEveryPreset) {
  for (const auto& [drive, preset] : std::vector<std::pair<std::string, std::string>>{
           {"dvdram", "dvdram"}, {"dvdrom", "dvdrom"}, {"hdd", "hdd"}, {"nodisc", "nodisc"},
           {"replay:traces/info_dvdram.jsonl", "dvdram"}, {"replay:traces/info_dvdrom.jsonl", "dvdrom"}}) {
    const test::CliOutcome run = RunInfo(drive.c_str());
    EXPECT_EQ(run.code, 0) << drive << ": " << run.err;
    EXPECT_EQ(run.out, test::Golden("info_" + preset + ".txt", run.out, "tests/app/cli/golden")) << drive;
  }
}

// --list, then --section counting from 1 to the report's last (golden/info_sections.txt). A number
// the report does not have is known once the drive has answered: exit code 1 naming the numbers it
// has, never the parser's range text; no number at all is a usage error (2).
TEST(InfoCommand, ListAndSection) {
  test::NamedTexts texts;
  for (const char* option : {"--list", "3", "9", "10", "0", "9223372036854775807", "abc"}) {
    const std::vector<std::string> options =
        option[0] == '-' ? std::vector<std::string>{option} : std::vector<std::string>{"--section", option};
    const test::CliOutcome run = RunInfo("hdd", options);
    texts.emplace_back(option, "exit " + std::to_string(run.code) + "\n" + run.out + "error stream:\n" + run.err);
  }
  test::ExpectGoldenOutputs("info_sections.txt", texts);
}

// --json of scan, summary and info, whole (golden/json_outputs.txt; json_schema_check.py parses
// them): fields that carry the values the text shows, null where the drive has nothing.
TEST(JsonOutput, FieldsCarryTheDrivesValues) {
  test::NamedTexts texts;
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"scan"}, {"summary", "E:"}, {"summary", "F:"}, {"info", "E:", "--list"}, {"info", "E:", "--section", "2"},
           {"info", "F:", "--list"}}) {
    const std::string name = ::testing::PrintToString(command);
    std::vector<std::string> args = {"--virtual-only", "--virtual", "E=dvdram,F=nodisc,G=hdd"};
    args.insert(args.end(), command.begin(), command.end());
    args.push_back("--json");
    const test::CliOutcome run = test::RunCliIn(test::CaseDir("json"), args);
    EXPECT_EQ(run.code, 0) << name << ": " << run.err;
    texts.emplace_back(name, run.out);
  }
  test::ExpectGoldenOutputs("json_outputs.txt", texts);
}

}  // namespace
}  // namespace orv

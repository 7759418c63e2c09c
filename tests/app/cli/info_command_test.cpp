// `orvane-cli info` on every virtual drive preset, run in-process; the whole output is compared
// with the expected report text in golden/ (UTF-8, as the terminal gets it).
#include "app/cli/info_command.h"

#include <gtest/gtest.h>

#include "cli_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"
#include "report/report_test_util.h"

namespace orv {
namespace {

using test::DrainStream;

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

// `info E:` on a virtual drive of `preset`, run in-process.
CliRun RunInfo(const char* preset, std::vector<std::string> options = {}) {
  std::vector<std::string> args = {"--virtual-only", "--virtual", std::string("E=") + preset, "info", "E:"};
  args.insert(args.end(), options.begin(), options.end());
  std::FILE *out = std::tmpfile(), *err = std::tmpfile(), *in = std::tmpfile();
  int code;
  {
    CliSession session(out, err, in);
    code = RunCli(args, session);
  }
  std::fclose(in);
  return {code, DrainStream(out), DrainStream(err)};
}

TEST(InfoCommand, WholeReportOfEveryPreset) {
  for (const char* preset : {"dvdram", "dvdrom", "hdd", "nodisc"}) {
    const CliRun run = RunInfo(preset);
    const std::string name = std::string("info_") + preset + ".txt";
    EXPECT_EQ(run.exitCode, 0) << preset << ": " << run.err;
    EXPECT_EQ(run.out, test::Golden(name, run.out, "tests/app/cli/golden")) << preset;
  }
}

TEST(InfoCommand, ListPrintsTheTitlesAndSectionOneSectionCountingFromOne) {
  const struct {
    std::vector<std::string> options;
    int exitCode;
    const char* out;
    const char* error;  // part of the error stream
  } cases[] = {
      {{"--list"}, 0,
       "Capacity/Geometory\n"
       "Mode Parameter\n"
       "  Block Desciptor\n"
       "  01H: Read/Write Error Recovery Parameter\n"
       "  02H: Disconnect/Reconnect\n"
       "  04H: Drive Parameter\n"
       "  08H: Cache Control Parameter\n"
       "  0AH: Control Mode Parameter\n"
       "  0CH: Notch/Partition Parameter\n",
       ""},
      {{"--section", "3"}, 0,
       "  Block Desciptor\n"
       "Block Descriptor 00H (512) 16,777,215\n"
       "    Write Protect                                      0\n"
       "    Disable PageOut/Force Unit Access                  1\n",
       ""},
      {{"--section", "10"}, 1, "", "no section 10: the report has sections 1 to 9"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunInfo("hdd", c.options);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options[0] << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << c.options[0];
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
  }
}

// Section numbers count from 1 to the report's last; anything else is refused once the report
// is known, naming the numbers it has, with exit code 1 (and never the parser's range text).
TEST(InfoCommand, SectionOutsideTheReportIsRefusedWithTheRange) {
  EXPECT_EQ(RunInfo("hdd", {"--section", "1"}).out.substr(0, 19), "Capacity/Geometory\n");
  EXPECT_EQ(RunInfo("hdd", {"--section", "9"}).out.substr(0, 32), "  0CH: Notch/Partition Parameter");
  // A number the report does not have is known only once the drive has answered (exit code 1);
  // what is no number at all is a usage error (2).
  const struct {
    std::vector<std::string> options;
    int exitCode;
    const char* err;
  } cases[] = {
      {{"--section", "10"}, 1, "orvane-cli: no section 10: the report has sections 1 to 9\n"},
      {{"--section", "0"}, 1, "orvane-cli: no section 0: the report has sections 1 to 9\n"},
      {{"--section", "-1"}, 1, "orvane-cli: no section -1: the report has sections 1 to 9\n"},
      {{"--section=-5"}, 1, "orvane-cli: no section -5: the report has sections 1 to 9\n"},
      {{"--section", "9223372036854775807"}, 1,
       "orvane-cli: no section 9223372036854775807: the report has sections 1 to 9\n"},
      {{"--json", "--section", "10"}, 1, "orvane-cli: no section 10: the report has sections 1 to 9\n"},
      // Not a number: the parser's own usage error.
      {{"--section", "abc"}, 2, "Could not convert: --section = abc\nRun with --help for more information.\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunInfo("hdd", c.options);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options.back();
    EXPECT_EQ(run.out, "") << c.options.back();
    EXPECT_EQ(run.err, c.err);
  }
}

TEST(InfoCommand, SectionWithoutTextShowsItsTitle) {
  DriveReport report;
  report.AddSection(kSectionConfiguration, kSectionChild, "  titled");
  EXPECT_EQ(ReportSectionText(report, 1), "  titled\r\n  titled\r\n");
}

}  // namespace
}  // namespace orv

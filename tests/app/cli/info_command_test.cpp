// `orvane-cli info` on every virtual drive preset, run in-process; the whole output is compared
// with the expected report text in golden/ (UTF-8, as the terminal gets it).
#include "app/cli/info_command.h"

#include <gtest/gtest.h>

#include "cli_run.h"
#include "report/report_test_util.h"

namespace orv {
namespace {

// `info E:` on a virtual drive of `preset`, run in-process.
test::CliOutcome RunInfo(const char* preset, std::vector<std::string> options = {}) {
  std::vector<std::string> args = {"--virtual-only", "--virtual", std::string("E=") + preset, "info", "E:"};
  args.insert(args.end(), options.begin(), options.end());
  return test::RunCliIn(test::CaseDir("info"), args);
}

TEST(InfoCommand, WholeReportOfEveryPreset) {
  for (const char* preset : {"dvdram", "dvdrom", "hdd", "nodisc"}) {
    const test::CliOutcome run = RunInfo(preset);
    EXPECT_EQ(run.code, 0) << preset << ": " << run.err;
    EXPECT_EQ(run.out, test::Golden(std::string("info_") + preset + ".txt", run.out, "tests/app/cli/golden")) << preset;
  }
}

// --list prints the titles, --section one section counting from 1 to the report's last. A number
// the report does not have is known only once the drive has answered (exit code 1, naming the
// numbers it has, never the parser's range text); no number at all is a usage error.
TEST(InfoCommand, ListAndSection) {
  const struct {
    std::vector<std::string> options;
    int code;
    std::string out, err;
  } cases[] = {
      {{"--list"}, 0,
       "Capacity/Geometory\nMode Parameter\n  Block Desciptor\n  01H: Read/Write Error Recovery Parameter\n"
       "  02H: Disconnect/Reconnect\n  04H: Drive Parameter\n  08H: Cache Control Parameter\n"
       "  0AH: Control Mode Parameter\n  0CH: Notch/Partition Parameter\n", ""},
      {{"--section", "3"}, 0,
       "  Block Desciptor\nBlock Descriptor 00H (512) 16,777,215\n"
       "    Write Protect                                      0\n"
       "    Disable PageOut/Force Unit Access                  1\n", ""},
      {{"--section", "10"}, 1, "", "orvane-cli: no section 10: the report has sections 1 to 9\n"},
      {{"--section", "0"}, 1, "", "orvane-cli: no section 0: the report has sections 1 to 9\n"},
      {{"--section=-5"}, 1, "", "orvane-cli: no section -5: the report has sections 1 to 9\n"},
      {{"--section", "9223372036854775807"}, 1, "",
       "orvane-cli: no section 9223372036854775807: the report has sections 1 to 9\n"},
      {{"--json", "--section", "10"}, 1, "", "orvane-cli: no section 10: the report has sections 1 to 9\n"},
      {{"--section", "abc"}, 2, "", "Could not convert: --section = abc\nRun with --help for more information.\n"},
  };
  for (const auto& c : cases) {
    const test::CliOutcome run = RunInfo("hdd", c.options);
    EXPECT_EQ(run.code, c.code) << c.options.back();
    EXPECT_EQ(run.out, c.out) << c.options.back();
    EXPECT_EQ(run.err, c.err) << c.options.back();
  }
  EXPECT_EQ(RunInfo("hdd", {"--section", "9"}).out.substr(0, 32), "  0CH: Notch/Partition Parameter");
}

TEST(InfoCommand, SectionWithoutTextShowsItsTitle) {
  DriveReport report;
  report.AddSection(kSectionConfiguration, kSectionChild, "  titled");
  EXPECT_EQ(ReportSectionText(report, 1), "  titled\r\n  titled\r\n");
}

}  // namespace
}  // namespace orv

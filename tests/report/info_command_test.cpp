// `orvane-cli info` on every virtual drive preset, run in-process; the whole output is compared
// with the expected report text in golden/ (UTF-8, as the terminal gets it). To write the
// golden files afresh after a deliberate change of the report, run the test with
// ORVANE_UPDATE_GOLDEN=1 and read the difference before committing it.
#include "app/cli/info_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"

namespace orv {
namespace {

// Everything written to a stream.
std::string Contents(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

CliRun RunInfo(const char* preset, std::vector<std::string> extra = {}) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::FILE* in = std::tmpfile();
  std::vector<std::string> args = {"--virtual-only", "--virtual", std::string("E=") + preset, "info", "E:"};
  args.insert(args.end(), extra.begin(), extra.end());
  int code;
  {
    CliSession session(out, err, in);
    code = RunCli(args, session);
  }
  CliRun run{code, Contents(out), Contents(err)};
  std::fclose(out);
  std::fclose(err);
  std::fclose(in);
  return run;
}

// The golden files are copied beside the test executable, where the tests run.
std::string Golden(const std::string& name) {
  std::ifstream file("golden/" + name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void UpdateGoldenIfAsked(const std::string& name, const std::string& text) {
  const char* update = std::getenv("ORVANE_UPDATE_GOLDEN");
  const char* source = std::getenv("ORVANE_SOURCE_DIR");
  if (update == nullptr || source == nullptr) return;
  std::ofstream(std::string(source) + "/tests/report/golden/" + name, std::ios::binary) << text;
}

TEST(InfoCommand, WholeReportOfEveryPreset) {
  for (const char* preset : {"dvdram", "dvdrom", "hdd", "nodisc"}) {
    const CliRun run = RunInfo(preset);
    const std::string name = std::string("info_") + preset + ".txt";
    UpdateGoldenIfAsked(name, run.out);
    EXPECT_EQ(run.exitCode, 0) << preset << ": " << run.err;
    EXPECT_EQ(run.out, Golden(name)) << preset;
  }
}

TEST(InfoCommand, ListPrintsTheTitlesInReportOrder) {
  const CliRun run = RunInfo("hdd", {"--list"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Capacity/Geometory\n"
            "Mode Parameter\n"
            "  Block Desciptor\n"
            "  01H: Read/Write Error Recovery Parameter\n"
            "  02H: Disconnect/Reconnect\n"
            "  04H: Drive Parameter\n"
            "  08H: Cache Control Parameter\n"
            "  0AH: Control Mode Parameter\n"
            "  0CH: Notch/Partition Parameter\n");
}

TEST(InfoCommand, SectionPrintsOneSectionCountingFromOne) {
  const CliRun run = RunInfo("hdd", {"--section", "3"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "  Block Desciptor\n"
            "Block Descriptor 00H (512) 16,777,215\n"
            "    Write Protect                                      0\n"
            "    Disable PageOut/Force Unit Access                  1\n");
}

TEST(InfoCommand, SectionBeyondTheReportIsAnError) {
  const CliRun run = RunInfo("hdd", {"--section", "10"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("no section 10: the report has 9"), std::string::npos) << run.err;
}

TEST(InfoCommand, SectionWithoutTextShowsItsTitle) {
  DriveReport report;
  report.AddSection(kSectionConfiguration, kSectionChild, "  titled");
  EXPECT_EQ(ReportSectionText(report, 1), "  titled\r\n  titled\r\n");
}

}  // namespace
}  // namespace orv

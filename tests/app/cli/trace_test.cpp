// The command trace end to end: recorded with --trace, replayed with --virtual E=replay:FILE.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/cli_run.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

class Trace : public test::CliCase {
 protected:
  // `args` on a drive E: of `drive`, after the program's own `options`.
  test::CliOutcome Run(const std::string& drive, std::vector<std::string> args,
                       std::vector<std::string> options = {}) {
    options.insert(options.end(), args.begin(), args.end());
    return On("E=" + drive, options);
  }
};

TEST_F(Trace, RecordedCommandsReplayToTheSameOutput) {
  const std::vector<std::vector<std::string>> commands = {{"info", "E:"}, {"summary", "E:"}, {"scan"}};
  for (const char* preset : {"dvdram", "dvdrom", "hdd", "nodisc"}) {
    for (const std::vector<std::string>& command : commands) {
      const std::string what = std::string(preset) + " " + command.front();
      const fs::path trace = dir_ / "trace.jsonl";
      const test::CliOutcome live = Run(preset, command, {"--trace", trace.string()});
      ASSERT_EQ(live.code, 0) << what << ": " << live.err;

      const test::CliOutcome replayed = Run("replay:" + trace.string(), command);
      EXPECT_EQ(replayed.code, 0) << what << ": " << replayed.err;
      EXPECT_EQ(replayed.out, live.out) << what;
      EXPECT_EQ(replayed.err, "") << what << ": the trace answers everything asked";
    }
  }
}

// The shipped traces, recorded from the presets with the program itself, give the reports the
// presets give: the trace format and the replay stay readable for traces users already sent.
TEST_F(Trace, ShippedTracesReplayToTheKnownReports) {
  for (const char* preset : {"dvdram", "dvdrom"}) {
    const test::CliOutcome run = Run(std::string("replay:traces/info_") + preset + ".jsonl", {"info", "E:"});
    EXPECT_EQ(run.code, 0) << preset << ": " << run.err;
    EXPECT_EQ(run.out, test::Golden(std::string("info_") + preset + ".txt", run.out, "tests/app/cli/golden"))
        << preset;
  }
  const test::CliOutcome live = Run("hdd", {"summary", "E:"});
  const test::CliOutcome replayed = Run("replay:traces/summary_hdd.jsonl", {"summary", "E:"});
  EXPECT_EQ(replayed.code, 0) << replayed.err;
  EXPECT_EQ(replayed.out, live.out);
}

// A drive whose feature list ends in the middle (GET CONFIGURATION moves 62 of the 100 bytes its
// header announces, the last two of them half of 001DH's descriptor header): the features wholly
// given are listed, 001DH onwards are not, and nothing is read from beyond the 62 bytes.
TEST_F(Trace, AnEditedTraceShowsWhatSuchADriveWouldShow) {
  std::istringstream shipped(test::ReadText("traces/info_dvdrom.jsonl"));
  std::string edited;
  int changed = 0;
  for (std::string line; std::getline(shipped, line); edited += line + "\n") {
    const size_t at = line.find("\"moved\":");
    if (line.find("\"cdb\":\"46") == std::string::npos || at == std::string::npos) continue;
    const size_t received = line.find("\"received\":\"", at);
    line = line.substr(0, at) + "\"moved\":62,\"received\":\"" + line.substr(received + 12, 124) + "\"}";
    ++changed;
  }
  ASSERT_EQ(changed, 1);
  std::ofstream(dir_ / "cut.jsonl", std::ios::binary) << edited;
  const test::CliOutcome run = Run("replay:" + (dir_ / "cut.jsonl").string(), {"info", "E:", "--list"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("  0010H Random Readable Feature\nDVD Structure layer:0\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("001DH"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("0000H"), run.out.rfind("0000H")) << "no feature made up from the cleared buffer";
}

// What the trace cannot answer is refused and named at the end of the run.
TEST_F(Trace, WhatTheTraceDoesNotAnswerIsNamedOnTheErrorStream) {
  const fs::path trace = dir_ / "scan.jsonl";
  ASSERT_EQ(Run("dvdram", {"scan"}, {"--trace", trace.string()}).code, 0);
  const test::CliOutcome run = Run("replay:" + trace.string(), {"info", "E:"});
  EXPECT_NE(run.err.find("drive E: (trace " + trace.string() + ") was asked what its trace does not answer"),
            std::string::npos)
      << run.err;
  // The scan never asked for the mode pages: a line each, after the drive's line.
  EXPECT_NE(run.err.find("\norvane-cli:   CDB 5A 08 3F 00 00 00 00 10 00 00 (data in, 4096 bytes), asked once\n"),
            std::string::npos)
      << run.err;

  // The trace never overwrites the file a drive answers from.
  const test::CliOutcome same = Run("replay:" + trace.string(), {"scan"}, {"--trace", trace.string()});
  EXPECT_EQ(same.code, 1);
  EXPECT_NE(same.err.find("the trace needs a file of its own"), std::string::npos) << same.err;
  EXPECT_EQ(test::ReadText(trace).rfind("{\"orvane\":\"trace\"", 0), 0u);
}

// The data of writes and of long reads stays out of a trace unless --trace-data; their size is
// kept, and a long read's digest (FNV-1a, 64 bits, of the 8192 bytes read back).
TEST_F(Trace, DataOnlyWithTraceData) {
  const fs::path trace = dir_ / "t.jsonl", raw = dir_ / "raw.img";
  { std::ofstream(raw, std::ios::binary) << std::string(8192, 'Z'); }
  const std::vector<std::string> write = {"write", "E:", raw.string(), "--yes", "--verify"};
  ASSERT_EQ(Run("dvdram", write, {"--trace", trace.string(), "--trace-data"}).code, 0);
  std::string text = test::ReadText(trace);
  EXPECT_EQ(text.rfind("{\"orvane\":\"trace\",\"version\":2,\"os\":", 0), 0u);
  EXPECT_NE(text.find("\"writeData\":true}\n"), std::string::npos);
  EXPECT_NE(text.find("\"sent\":\"5A5A5A"), std::string::npos);
  EXPECT_EQ(text.find("\"received\":null"), std::string::npos);
  ASSERT_EQ(Run("dvdram", write, {"--trace", trace.string()}).code, 0);
  text = test::ReadText(trace);
  EXPECT_NE(text.find("\"writeData\":false}\n"), std::string::npos);
  EXPECT_EQ(text.find("\"sent\":\"5A"), std::string::npos);
  EXPECT_NE(text.find("\"moved\":8192,\"received\":null,\"digest\":\"DA25F6DBC2392325\"}"), std::string::npos);
}

}  // namespace
}  // namespace orv

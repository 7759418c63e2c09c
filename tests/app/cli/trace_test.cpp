// The command trace end to end: recorded with --trace, replayed with --virtual E=replay:FILE.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/cli_run.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

using Trace = test::CliCase;

TEST_F(Trace, RecordedCommandsReplayToTheSameOutput) {
  const std::vector<std::vector<std::string>> commands = {{"info", "E:"}, {"summary", "E:"}, {"scan"}};
  for (const char* preset : {"dvdram", "dvdrom", "hdd", "nodisc"}) {
    for (const std::vector<std::string>& command : commands) {
      const std::string what = std::string(preset) + " " + command.front();
      const fs::path trace = dir_ / "trace.jsonl";
      std::vector<std::string> args = {"--trace", trace.string()};
      args.insert(args.end(), command.begin(), command.end());
      const test::CliOutcome live = On(std::string("E=") + preset, args);
      ASSERT_EQ(live.code, 0) << what << ": " << live.err;

      const test::CliOutcome replayed = On("E=replay:" + trace.string(), command);
      EXPECT_EQ(replayed.code, 0) << what << ": " << replayed.err;
      EXPECT_EQ(replayed.out, live.out) << what;
      EXPECT_EQ(replayed.err, "") << what << ": the trace answers everything asked";
    }
  }
}

// GET CONFIGURATION moves 62 of the 100 bytes its header announces (ending in half of 001DH's header):
// the features wholly given are listed, nothing is read from beyond the 62 bytes.
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
  const test::CliOutcome run = On("E=replay:" + (dir_ / "cut.jsonl").string(), {"info", "E:", "--list"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("  0010H Random Readable Feature\nDVD Structure layer:0\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("001DH"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("0000H"), run.out.rfind("0000H")) << "no feature made up from the cleared buffer";
}

// What the trace cannot answer is refused and named at the end of the run.
TEST_F(Trace, WhatTheTraceDoesNotAnswerIsNamedOnTheErrorStream) {
  const fs::path trace = dir_ / "scan.jsonl";
  ASSERT_EQ(On("E=dvdram", {"--trace", trace.string(), "scan"}).code, 0);
  const test::CliOutcome run = On("E=replay:" + trace.string(), {"info", "E:"});
  EXPECT_NE(run.err.find("drive E: (trace " + trace.string() + ") was asked what its trace does not answer"),
            std::string::npos)
      << run.err;
  // The scan never asked for the mode pages: a line each, after the drive's line.
  EXPECT_NE(run.err.find("\norvane-cli:   CDB 5A 08 3F 00 00 00 00 10 00 00 (data in, 4096 bytes), asked once\n"),
            std::string::npos)
      << run.err;

  // The trace never overwrites the file a drive answers from.
  const test::CliOutcome same = On("E=replay:" + trace.string(), {"--trace", trace.string(), "scan"});
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
  std::vector<std::string> args = {"--trace", trace.string(), "--trace-data"};
  args.insert(args.end(), write.begin(), write.end());
  ASSERT_EQ(On("E=dvdram", args).code, 0);
  std::string text = test::ReadText(trace);
  EXPECT_NE(text.find("\"writeData\":true}\n"), std::string::npos);
  EXPECT_NE(text.find("\"sent\":\"5A5A5A"), std::string::npos);
  EXPECT_EQ(text.find("\"received\":null"), std::string::npos);
  args.erase(args.begin() + 2);  // without --trace-data
  ASSERT_EQ(On("E=dvdram", args).code, 0);
  text = test::ReadText(trace);
  EXPECT_NE(text.find("\"writeData\":false}\n"), std::string::npos);
  EXPECT_EQ(text.find("\"sent\":\"5A"), std::string::npos);
  EXPECT_NE(text.find("\"moved\":8192,\"received\":null,\"digest\":\"DA25F6DBC2392325\"}"), std::string::npos);
}

}  // namespace
}  // namespace orv

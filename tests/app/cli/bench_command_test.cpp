// `orvane-cli bench` in-process on virtual drives whose timing model advances a simulated clock.
#include "app/cli/bench_command.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/cli_app.h"
#include "cli_run.h"
#include "bench/bench_rig.h"
#include "bench/benchmark_text.h"
#include "device/ports/virtual_port.h"
#include "golden.h"
#include "image/image_test_support.h"
#include "scsi/opcodes.h"
#include "toolkit/console_ui.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

// `orvane-cli --virtual-only --virtual E=DRIVE [--trace FILE] bench E: OPTIONS` with timing on, the
// drives, the trace and the benchmark on one simulated clock. `prepare` sees the drive before the run.
CliOutcome RunBench(const std::string& drive, std::vector<std::string> options,
                    const std::function<void(VirtualDrive&)>& prepare = {}, const std::string& trace = {}) {
  std::FILE *out = std::tmpfile(), *err = std::tmpfile();
  auto clock = std::make_shared<SimulatedClock>();
  SimulatedBenchClock benchClock(clock);
  CliOutcome run;
  {
    CliSession session(out, err, nullptr);
    session.virtualOnly = true;
    session.virtualDrives = "E=" + drive;
    session.virtualTiming = true;
    session.simulatedClock = clock;
    session.tracePath = trace;
    if (prepare) {
      auto* port = dynamic_cast<VirtualPort*>(&session.Drives().Device().Port());
      EXPECT_NE(port, nullptr);
      if (port != nullptr) prepare(*port->Drive('E'));
    }
    SetBenchCommandClock(&benchClock);
    std::vector<std::string> args = {"bench", "E:"};
    args.insert(args.end(), options.begin(), options.end());
    run.code = RunCli(args, session);
    SetBenchCommandClock(nullptr);
  }
  run.out = DrainStream(out);
  run.err = DrainStream(err);
  return run;
}

// The console's output as a case of golden/bench_tables.txt (the tables of whole runs on the
// simulated clock, whose rows test_bench holds against its own golden file).
void ExpectTable(const std::string& name, const std::string& out) {
  std::string crlf;
  for (const char c : out) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ExpectGoldenCases("bench_table_" + name + ".txt", {{name, crlf}}, "tests/app/cli/golden");
}

TEST(BenchCommand, PrintsTheTableOfEveryPresetWithADisc) {
  for (const std::string preset : {"dvdram", "dvdrom", "hdd"}) {
    SCOPED_TRACE(preset);
    const CliOutcome run = RunBench(preset, {"--yes"});
    EXPECT_EQ(run.code, 0) << run.err;
    ExpectTable(preset, run.out);
    // The question was shown and answered from the command line.
    EXPECT_NE(run.err.find(ConsoleText("ベンチマーク テストを実行しますか？") + "\n> y (given on the command line)"),
              std::string::npos)
        << run.err;
  }
}

// A replay gives the recorded durations back to the clock: the same commands, the same figures; the
// long reads kept as length and digest keep the trace small (every read whole would be 26 MB).
TEST(BenchCommand, ARecordedRunReplaysToTheSameFigures) {
  const fs::path trace = CaseDir("bench") / "trace.jsonl";
  const CliOutcome live = RunBench("dvdram", {"--yes"}, {}, trace.string());
  ASSERT_EQ(live.code, 0) << live.err;
  EXPECT_LT(fs::file_size(trace), 4u << 20);
  const CliOutcome replayed = RunBench("replay:" + trace.string(), {"--yes"});
  EXPECT_EQ(replayed.code, 0) << replayed.err;
  EXPECT_EQ(replayed.out, live.out);
  // The same question and progress, and no line naming what the trace does not answer.
  EXPECT_EQ(replayed.err, live.err);
  const CliOutcome json = RunBench("replay:" + trace.string(), {"--yes", "--json"});
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out, RunBench("dvdram", {"--yes", "--json"}).out);
}

TEST(BenchCommand, ReadsOnlyTheDiscImageIsTheSameAfterwards) {
  const fs::path image = CaseDir("bench") / "disc.img";
  const Bytes bytes = RandomCorpus(8192 * 2048, 15);
  WriteWholeFile(image, bytes);
  const CliOutcome run = RunBench("dvdram:" + image.string(), {"--yes"});
  EXPECT_EQ(run.code, 0) << run.err;
  ExpectTable("dvdram-8192", run.out);
  EXPECT_TRUE(ReadWholeFile(image) == bytes);
  fs::remove(image);
}

TEST(BenchCommand, JsonGivesEachRowWithItsUnit) {
  const CliOutcome run = RunBench("dvdram", {"--yes", "--json"});
  EXPECT_EQ(run.code, 0) << run.err;
  const std::string head = "{\"formatVersion\": 1, \"program\": {\"name\": \"orvane-cli\", \"version\": \"1.01a#03\"}, ";
  EXPECT_EQ(run.out.rfind(head + "\"drive\": \"E:\", \"complete\": true, \"stopped\": null, \"rows\": [\n", 0), 0u) << run.out;
  // The expected texts are the program's CP932 literals; the JSON is UTF-8.
  EXPECT_NE(run.out.find(ConsoleText("\n  {\"kind\": 1, \"title\": \"Test Unit Ready コマンド\", \"size\": \"\", \"value\": 500, "
                                     "\"unit\": \"us\", \"note\": \"\"},\n")),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(ConsoleText("{\"kind\": 3, \"title\": \"シーケンシャル リード / スタート\", \"size\": \"2048B\", \"value\": ")),
            std::string::npos);
  EXPECT_NE(run.out.find("\"unit\": \"B/s\", \"note\": \"\"}\n]}\n"), std::string::npos);
  size_t rows = 0;
  for (size_t at = 0; (at = run.out.find("{\"kind\"", at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, 17u);

  // A stop: its message, and the rows there are (none without a disc).
  const CliOutcome none = RunBench("nodisc", {"--yes", "--json"});
  EXPECT_EQ(none.code, 1);
  EXPECT_EQ(none.out,
            head + ConsoleText("\"drive\": \"E:\", \"complete\": false, \"stopped\": \"デバイスの準備ができていません。\", \"rows\": []}\n"));
}

// The core's own test holds that nothing is measured without Yes; here the console's answer and line.
TEST(BenchCommand, WithoutATerminalOrYesNothingRuns) {
  const CliOutcome run = RunBench("dvdram", {});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("> n (no terminal to ask at)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("orvane-cli: benchmark not run: no terminal to confirm at (--yes runs it)\n"),
            std::string::npos);
}

TEST(BenchCommand, CtrlCCancelsAfterTheMeasurementUnderWayAndPrintsTheRowsSoFar) {
  // Ctrl-C arrives while the sequential seek runs; the worker is held long enough for the
  // console to take it before the seek's 3 (simulated) seconds are over.
  bool pressed = false;
  const CliOutcome run = RunBench("dvdram", {"--yes"}, [&pressed](VirtualDrive& drive) {
    drive.SetAnswerHook([&pressed](VirtualDrive&, CommandContext& c) {
      if (!pressed && c.Opcode() == scsi_op::kSeek10 && c.cdb[5] != 0) {
        pressed = true;
        std::raise(SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
      }
      return false;
    });
  });
  EXPECT_TRUE(pressed);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(ConsoleText("処理を中断しました。")), std::string::npos) << run.err;
  ExpectTable("dvdram-stopped", run.out);
}

}  // namespace
}  // namespace orv::test

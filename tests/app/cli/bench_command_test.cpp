// `orvane-cli bench` in-process on virtual drives whose timing model advances a simulated clock.
#include "app/cli/bench_command.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <thread>

#include "app/cli/cli_run.h"
#include "bench/bench_rig.h"
#include "device/ports/virtual_port.h"
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
  auto clock = std::make_shared<SimulatedClock>();
  SimulatedBenchClock benchClock(clock);
  SetBenchCommandClock(&benchClock);
  options.insert(options.begin(), {"bench", "E:"});
  const CliOutcome run = RunCliIn(CaseDir("bench-run"), options, [&](CliSession& session) {
    session.virtualOnly = true;
    session.virtualDrives = "E=" + drive;
    session.virtualTiming = true;
    session.simulatedClock = clock;
    session.tracePath = trace;
    if (prepare) prepare(*dynamic_cast<VirtualPort&>(session.Drives().Device().Port()).Drive('E'));
  });
  SetBenchCommandClock(nullptr);
  return run;
}

// The tables of whole runs on the simulated clock, whose rows test_bench holds against its own
// golden file; a run reads only: the disc image is the same afterwards.
TEST(BenchCommand, PrintsTheTableOfEveryPresetWithADisc) {
  const fs::path image = CaseDir("bench") / "disc.img";
  const Bytes bytes = RandomCorpus(8192 * 2048, 15);
  WriteWholeFile(image, bytes);
  for (const auto& [drive, table] : {std::pair<std::string, std::string>{"dvdram:" + image.string(), "dvdram-8192"},
                                     {"dvdrom", "dvdrom"}, {"hdd", "hdd"}}) {
    SCOPED_TRACE(table);
    const CliOutcome run = RunBench(drive, {"--yes"});
    EXPECT_EQ(run.code, 0) << run.err;
    ExpectGoldenOutputs("bench_table_" + table + ".txt", {{table, run.out}});
    // The question was shown and answered from the command line.
    EXPECT_TRUE(Has(run.err, ConsoleText("ベンチマーク テストを実行しますか？") + "\n> y (given on the command line)"))
        << run.err;
  }
  EXPECT_TRUE(ReadWholeFile(image) == bytes);
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
  // --json: each row with its unit (the texts UTF-8), the version head in the output's own layout.
  const CliOutcome json = RunBench("replay:" + trace.string(), {"--yes", "--json"});
  EXPECT_EQ(json.code, 0) << json.err;
  ExpectGoldenOutputs("bench_json.txt", {{"dvdram", json.out}});
}

// The core's own test holds that nothing is measured without Yes; here the console's answer and line.
TEST(BenchCommand, WithoutATerminalOrYesOrADiscNothingRuns) {
  const CliOutcome run = RunBench("dvdram", {});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Has(run.err, "> n (no terminal to ask at)")) << run.err;
  EXPECT_TRUE(Has(run.err, "orvane-cli: benchmark not run: no terminal to confirm at (--yes runs it)\n"));
  // Stopped by the empty drive (its --json output is json_schema_check.py's).
  EXPECT_EQ(RunBench("nodisc", {"--yes"}).code, 1);
}

TEST(BenchCommand, CtrlCCancelsAfterTheMeasurementUnderWayAndPrintsTheRowsSoFar) {
  // Ctrl-C while the sequential seek runs, the worker held until the console has taken it.
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
  EXPECT_TRUE(Has(run.err, ConsoleText("処理を中断しました。"))) << run.err;
  ExpectGoldenOutputs("bench_table_dvdram-stopped.txt", {{"dvdram-stopped", run.out}});
}

}  // namespace
}  // namespace orv::test

// The `bench DRIVE` subcommand: the benchmark on the console. The confirmation is asked at the
// terminal (--yes answers it; without a terminal and without --yes nothing runs), progress goes
// to the error stream, Ctrl-C cancels after the measurement under way, and the rows measured are
// printed as the table the window copies to the clipboard (UTF-8), or as JSON with --json.
// With --curve FILE.svg it measures the read-speed curve alone instead (bench/speed_curve.h),
// asking nothing as it only reads, and draws it; --json then prints the points.
#pragma once

#include <string>

#include "app/cli/cli_session.h"
#include "bench/bench_clock.h"
#include "bench/benchmark_run.h"

namespace CLI {
class App;
}

namespace orv {

void AddBenchCommand(CLI::App& app, CliSession& session);

// The clock the console's benchmark times with: the system's monotonic clock, unless a test
// sets one of its own (null goes back to the system's).
void SetBenchCommandClock(BenchClock* clock);

// The run as JSON (UTF-8, one object): the drive, whether every measurement ran, the stop
// message, and each row with its kind (1 command time, 2 seek time, 3 transfer rate), title,
// size, value and the value's unit ("us" per operation or "B/s").
std::string BenchmarkJson(const std::string& drive, const BenchmarkRun& run);

}  // namespace orv

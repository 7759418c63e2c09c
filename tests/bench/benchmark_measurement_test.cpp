// The measurements of a run on virtual drives with the timing model and the simulated clock, on
// the test's thread: the rows (exact on the simulated clock), the commands that reach the drive,
// and where each fault and stop ends a run.
#include "bench/benchmark_measurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/benchmark_text.h"
#include "bench/speed_curve.h"
#include "bench_rig.h"
#include "golden.h"
#include "scsi/opcodes.h"
#include "toolkit/sjis.h"
#include "toolkit/worker.h"

namespace orv::test {
namespace {

// "kind | title | size | value | note", UTF-8, a CR LF line per row: readable when a row differs.
std::string Describe(const std::vector<BenchmarkResult>& rows) {
  std::string text;
  for (const BenchmarkResult& r : rows) {
    text += std::to_string(r.kind) + " | " + SjisToUtf8(r.title) + " | " + r.size + " | " + std::to_string(r.value) +
            " | " + SjisToUtf8(r.note) + "\r\n";
  }
  return text;
}

class RecordingSink : public ProgressSink {
 public:
  void SetStatus(std::string_view text) override {
    events.push_back("status " + SjisToUtf8(text));
    if (onStatus) onStatus(text);
  }
  void SetRange(uint32_t maximum) override { events.push_back("range " + std::to_string(maximum)); }
  void SetPosition(uint32_t position) override { events.push_back("pos " + std::to_string(position)); }
  std::vector<std::string> events;
  std::function<void(std::string_view)> onStatus;
};

struct Measured {
  std::vector<BenchmarkResult> rows;
  bool stopped = false;
  std::string message;
  std::vector<std::string> events;
};

// One run's measurements against the rig's drive, opened as the benchmark opens it. `before`
// runs once the measurement exists (to stop it early).
Measured Measure(BenchRig& rig, const std::function<void(BenchmarkMeasurement&, RecordingSink&)>& before = {}) {
  DeviceHandle& device = rig.Device();
  device.Close();
  EXPECT_EQ(device.Open(rig.Record().path.c_str(), kOpenSharedReadWrite), 0);
  BenchmarkMeasurement measurement(device, rig.Record(), rig.Clock());
  WorkerContext context;
  RecordingSink sink;
  context.SetBox(&sink);
  if (before) before(measurement, sink);
  measurement.Run(context);
  device.Close();
  return {{measurement.Rows().begin(), measurement.Rows().end()}, measurement.Stopped(), measurement.StopMessage(),
          sink.events};
}

// The rows are golden/bench_rows.txt, exact on the simulated clock; they equalled a model of the
// drive's timing written apart (the command sequence replayed against it) when the file was made.
// Small discs: every read stays on the disc (the last 5% of 256 blocks is shorter than 64 KiB),
// a transfer size below the block length or longer than the disc has no rows.
TEST(BenchmarkMeasurement, EveryDiscGivesTheRowsItsTimingModelGives) {
  NamedTexts texts;
  const struct {
    const char* preset;
    uint32_t blockLength;  // 0: the preset's
    uint64_t blockCount;   // 0: the preset's
  } cases[] = {{"dvdram", 0, 0}, {"dvdrom", 0, 0}, {"hdd", 0, 0}, {"dvdram", 65536, 200000}, {"dvdram", 0, 256},
               {"hdd", 0, 100}};
  for (const auto& c : cases) {
    BenchRig rig({.preset = *FindDrivePreset(c.preset), .blockLength = c.blockLength, .blockCount = c.blockCount});
    ASSERT_TRUE(rig.Ready());
    const std::string name = std::string(c.preset) + " " + std::to_string(rig.Record().BlockCount()) + " x " +
                             std::to_string(rig.Record().BlockLength());
    const Measured run = Measure(rig);
    EXPECT_FALSE(run.stopped) << name << ": " << SjisToUtf8(run.message);
    texts.push_back({name, Describe(run.rows)});
    for (const SentCommand& sent : rig.Sent()) {  // a benchmark only reads, and only the disc's blocks
      EXPECT_NE(sent.opcode, scsi_op::kWrite10) << name;
      if (sent.opcode == scsi_op::kRead10) {
        EXPECT_LE(sent.lba + sent.blocks, rig.Record().BlockCount()) << name << ": " << sent.lba;
      }
    }
  }
  ExpectGoldenCases("bench_rows.txt", texts, "tests/bench/golden");
}

TEST(BenchmarkMeasurement, ReportsEachRowBeforeMeasuringItAndTheFullBarAtTheEnd) {
  BenchRig rig;
  const Measured run = Measure(rig);
  std::vector<std::string> expected = {"range 17"};
  for (size_t i = 0; i < run.rows.size(); ++i) {
    expected.push_back("pos " + std::to_string(i));
    expected.push_back("status " + SjisToUtf8(run.rows[i].title));
  }
  expected.push_back("pos 17");
  EXPECT_EQ(run.events, expected);
}

// The rows with their "(Readコマンド使用)" notes are golden/bench_rows_fallback.txt. Without
// VERIFY(10) the rotation test reads no blocks at block 0, 128 times.
TEST(BenchmarkMeasurement, DrivesWithoutSeekOrVerifyAreTimedWithRead) {
  NamedTexts texts;
  for (const auto& [name, missing] :
       {std::pair{"no SEEK(10)", scsi_op::kSeek10}, std::pair{"no VERIFY(10)", scsi_op::kVerify10}}) {
    BenchRig rig;
    rig.Drive().SetHandler(missing, {});
    texts.push_back({name, Describe(Measure(rig).rows)});
    if (missing == scsi_op::kVerify10) {
      EXPECT_EQ(std::count_if(rig.Sent().begin(), rig.Sent().end(), [](const SentCommand& s) {
                  return s.opcode == scsi_op::kRead10 && s.blocks == 0 && s.lba == 0;
                }),
                128);
    }
  }
  ExpectGoldenCases("bench_rows_fallback.txt", texts, "tests/bench/golden");
}

// Pauses before the measurements: 3 zero-motion tests, the two seek tests, then one per transfer
// measurement (3 sizes x start, end; then 3 of the random test). The blocks the timed commands of
// one measurement addressed (the SEEK to 0 before the next measurement's pause left out).
std::vector<uint64_t> TimedBlocks(const BenchRig& rig, size_t pause, uint8_t opcode) {
  std::vector<uint64_t> blocks;
  for (const SentCommand& s : rig.SentAfterPause(pause))
    if (s.opcode == opcode) blocks.push_back(s.lba);
  if (opcode == scsi_op::kSeek10 && !blocks.empty()) blocks.pop_back();
  return blocks;
}

// The timed seeks start at block 0 and step by the stride, back to 0 past the end.
TEST(BenchmarkMeasurement, TheSeekStrideIsTheGeometrysSectorsPerTrack) {
  const struct {
    const char* name;
    GeometryAnswer geometry;
    uint64_t blockCount;  // 0: the preset's
    uint32_t stride;
  } cases[] = {
      {"63 sectors per track", {false, 63}, 0, 63},
      {"the geometry request fails", {true, std::nullopt}, 0, 32},
      // A stride longer than the medium becomes a hundredth of it: 0 below 100 blocks.
      {"5000 blocks, 6000 per track", {false, 6000}, 5000, 50},
      {"50 blocks, 63 per track", {false, 63}, 50, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig({.blockCount = c.blockCount, .geometry = c.geometry});
    const Measured run = Measure(rig);
    ASSERT_GE(run.rows.size(), 5u);
    EXPECT_EQ(run.rows[3].title, SequentialSeekTitle(c.stride));
    const std::vector<uint64_t> blocks = TimedBlocks(rig, 3, scsi_op::kSeek10);
    ASSERT_GT(blocks.size(), 10u);
    const uint64_t count = rig.Record().BlockCount();
    for (size_t i = 0, expected = 0; i < blocks.size(); ++i, expected = (expected + c.stride) % count)
      ASSERT_EQ(blocks[i], expected) << i;
  }
}

// The random seek starts at block 0 and draws from the generator's first state (41, 18467,
// 6334, ...); each random transfer reads block 0, then from the generator seeded with 0 (38, 7719,
// 21238, ...): the same blocks for every size.
TEST(BenchmarkMeasurement, RandomAddressesFollowTheGeneratorSeededOnlyForTransfers) {
  BenchRig rig;
  Measure(rig);
  const uint64_t L = rig.Record().BlockCount();
  const std::vector<uint64_t> seeks = TimedBlocks(rig, 4, scsi_op::kSeek10);
  ASSERT_GE(seeks.size(), 4u);
  EXPECT_EQ(std::vector<uint64_t>(seeks.begin(), seeks.begin() + 4),
            (std::vector<uint64_t>{0, 41 * L / 32768, 18467 * L / 32768, 6334 * L / 32768}));
  const std::vector<uint64_t> oneBlock = TimedBlocks(rig, 11, scsi_op::kRead10);
  ASSERT_GE(oneBlock.size(), 20u);  // each random read seeks: about 100 ms of drive time
  EXPECT_EQ(std::vector<uint64_t>(oneBlock.begin(), oneBlock.begin() + 4),
            (std::vector<uint64_t>{0, 38 * L / 32768, 7719 * L / 32768, 21238 * L / 32768}));
  for (size_t pause : {12, 13}) {
    const std::vector<uint64_t> reads = TimedBlocks(rig, pause, scsi_op::kRead10);
    ASSERT_GE(reads.size(), 20u);
    EXPECT_TRUE(std::equal(reads.begin(), reads.begin() + 20, oneBlock.begin())) << pause;
  }
}

// A fault ends its test, its group or the run; the rows that remain are those of a fault-free
// run, in order, minus the missing ones and everything after a stop.
TEST(BenchmarkMeasurement, FaultsAndStopsEndTheTestTheGroupOrTheRunAndKeepTheRowsBefore) {
  BenchRig cleanRig;
  const std::vector<BenchmarkResult> clean = Measure(cleanRig).rows;
  const uint64_t endFirst = 2295104 - 2295104 * 5 / 100;
  auto inEndRegion = [endFirst](const SentCommand& s) { return s.opcode == scsi_op::kRead10 && s.lba >= endFirst; };
  const std::string readError = "読み取りエラー\r\n        \r\n";
  const struct {
    const char* name;
    BenchRigSetup setup;
    std::function<void(BenchRig&)> fault;
    std::vector<std::string> titlesMissing;
    size_t rows;
    std::string message;  // "": no stop; "system": the read error with the system's reason
  } cases[] = {
      {"the 50th TEST UNIT READY fails: no row for it, the next test runs", {},
       [](BenchRig& rig) {
         auto count = std::make_shared<int>(0);
         rig.FailWhen([count](const SentCommand& s) { return s.opcode == scsi_op::kTestUnitReady && ++*count == 50; },
                      kSenseMediumNotPresent);
       },
       {kTitleTestUnitReady}, 16, ""},
      {"a sequential seek fails: no seek rows, the transfers run", {},
       [](BenchRig& rig) { rig.FailWhen([](const SentCommand& s) { return s.opcode == scsi_op::kSeek10 && s.lba == 32; }); },
       {SequentialSeekTitle(32), kTitleRandomSeek}, 15, ""},
      {"a random seek fails: the sequential seek stays", {},
       [](BenchRig& rig) {
         rig.FailWhen([](const SentCommand& s) { return s.opcode == scsi_op::kSeek10 && s.lba == 41u * 2295104 / 32768; });
       },
       {kTitleRandomSeek}, 16, ""},
      {"the drive refuses a read of the end region", {}, [&](BenchRig& rig) { rig.FailWhen(inEndRegion); }, {}, 8,
       readError},
      {"the drive moves less than asked", {},
       [&](BenchRig& rig) {
         rig.OnCommand([&rig, inEndRegion](const SentCommand& s) {
           if (inEndRegion(s)) rig.Drive().InjectShortTransfer(1024);
         });
       },
       {}, 8, readError},
      {"the drive goes away: the system says why", {},
       [&](BenchRig& rig) {
         rig.OnCommand([&rig, inEndRegion](const SentCommand& s) {
           if (inEndRegion(s)) rig.Drive().SetVanished(true);
         });
       },
       {}, 8, "system"},
      {"no disc: block count 0", {.withMedium = false}, [](BenchRig&) {}, {}, 0, kStopNotReady},
      // 390 readings time the zero-motion tests (130 each): 200 lies in the second.
      {"the clock goes back in the second zero-motion test", {}, [](BenchRig& rig) { rig.Clock().backAt = 200; }, {}, 1,
       kStopClockError},
      {"the clock goes back in the sequential seek", {}, [](BenchRig& rig) { rig.Clock().backAt = 400; }, {}, 3,
       kStopClockError},
      // No drive has blocks longer than 64 KiB: the capacity counts as unread.
      {"a block longer than the transfer buffer", {.blockLength = 131072, .blockCount = 1000}, [](BenchRig&) {}, {}, 0,
       kStopNotReady},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig(c.setup);
    ASSERT_TRUE(rig.Ready());
    c.fault(rig);
    const Measured run = Measure(rig);
    EXPECT_EQ(run.stopped, !c.message.empty());
    const std::string why = SystemErrorText(rig.Device().Port().ErrorCode(PortError::kDeviceGone));
    EXPECT_EQ(run.message, c.message != "system" ? c.message : "読み取りエラー\r\n        " + why + "\r\n");
    std::vector<std::string> titles, expected;
    for (const auto& r : run.rows) titles.push_back(SjisToUtf8(r.title) + " " + r.size);
    for (const auto& r : clean)
      if (std::find(c.titlesMissing.begin(), c.titlesMissing.end(), r.title) == c.titlesMissing.end())
        expected.push_back(SjisToUtf8(r.title) + " " + r.size);
    expected.resize(c.rows);
    EXPECT_EQ(titles, expected);
  }
}

// A stop during the first test keeps its row and leaves the bar unfilled; before the first check
// nothing is measured, the box is not touched, no command is sent.
TEST(BenchmarkMeasurement, CancelKeepsTheRowUnderWayAndStopsBeforeTheNext) {
  BenchRig rig;
  const Measured during = Measure(rig, [](BenchmarkMeasurement& m, RecordingSink& sink) {
    sink.onStatus = [&m](std::string_view status) {
      if (status == kTitleTestUnitReady) m.RequestStop();
    };
  });
  EXPECT_TRUE(during.stopped);
  EXPECT_EQ(during.message, "");
  ASSERT_EQ(during.rows.size(), 1u);
  EXPECT_EQ(during.rows[0].title, kTitleTestUnitReady);
  EXPECT_EQ(during.rows[0].value, 500);
  EXPECT_EQ(during.events.back(), "status " + SjisToUtf8(kTitleTestUnitReady));
  BenchRig early;
  const Measured before = Measure(early, [](BenchmarkMeasurement& m, RecordingSink&) { m.RequestStop(); });
  EXPECT_TRUE(before.stopped);
  EXPECT_TRUE(before.rows.empty());
  EXPECT_TRUE(before.events.empty());
  EXPECT_TRUE(early.Sent().empty());
}

// The sampled curve at its first, middle and last point, least and greatest rate within 2 % of
// the drive's rate there: DVD-RAM (constant linear velocity) 6.9 MB/s and the disk 60 MB/s
// everywhere; DVD-ROM (constant angular velocity, radii 1 : 2.4) 22 / 2.4 = 9.17 MB/s inside,
// 22 * sqrt(1 / 2.4^2 + (1 - 1 / 2.4^2) / 2) = 16.85 MB/s halfway, 22 MB/s outside.
TEST(SpeedCurve, FollowsTheDrivesRateAcrossTheDisc) {
  const struct {
    const char* preset;
    uint32_t points;
    double first, middle, last;  // MB/s
  } cases[] = {{"dvdram", 400, 6.9, 6.9, 6.9}, {"dvdrom", 7, 9.17, 16.85, 22.0}, {"hdd", 50, 60.0, 60.0, 60.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.preset);
    BenchRig rig({.preset = *FindDrivePreset(c.preset)});
    ASSERT_TRUE(rig.Ready());
    ASSERT_EQ(rig.Device().Open(rig.Record().path.c_str(), kOpenSharedReadWrite), 0);
    const uint64_t blocks = rig.Record().BlockCount();
    const SpeedCurve curve = MeasureSpeedCurve(rig.Device(), rig.Record().Address(), rig.Record().BlockLength(), blocks,
                                               rig.Clock(), c.points, [](uint32_t, uint32_t) { return true; });
    EXPECT_TRUE(curve.complete) << curve.failure;
    ASSERT_EQ(curve.points.size(), c.points);
    EXPECT_EQ(curve.points.front().first, 0u);
    EXPECT_EQ(curve.points.back().first + curve.points.back().count, blocks);
    const std::pair<size_t, double> at[] = {{0, c.first}, {c.points / 2, c.middle}, {c.points - 1, c.last}};
    for (const auto& [point, mbps] : at) {
      EXPECT_NEAR(curve.points[point].minBytesPerSecond / 1e6, mbps, mbps * 0.02) << point;
      EXPECT_NEAR(curve.points[point].maxBytesPerSecond / 1e6, mbps, mbps * 0.02) << point;
    }
    EXPECT_LT(rig.Sent().size(), c.points * 5 + 20);  // sampled: a few transfers a point, not the whole disc
  }
}

}  // namespace
}  // namespace orv::test

// The measurements of a run on virtual drives with the timing model and the simulated clock,
// run on the test's thread: which rows come, in which order, with which values (worked out from
// the timing model), which commands reach the drive, and where each fault and stop ends a run.
#include "bench/benchmark_measurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/benchmark_text.h"
#include "bench/speed_curve.h"
#include "golden.h"
#include "bench_rig.h"
#include "scsi/opcodes.h"
#include "toolkit/sjis.h"
#include "toolkit/worker.h"

namespace orv::test {
namespace {

// "kind | title | size | value | note", UTF-8, one CR LF line per row: readable when a row
// differs.
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

// One run's measurements against the rig's drive, opened as the benchmark opens it.
// `before` runs once the measurement exists (to stop it early).
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
  Measured m;
  m.rows.assign(measurement.Rows().begin(), measurement.Rows().end());
  m.stopped = measurement.Stopped();
  m.message = measurement.StopMessage();
  m.events = sink.events;
  return m;
}

std::vector<std::string> Sizes(const std::vector<BenchmarkResult>& rows) {
  std::vector<std::string> sizes;
  for (const BenchmarkResult& r : rows)
    if (r.kind == kBenchTransferRate && std::find(sizes.begin(), sizes.end(), r.size) == sizes.end())
      sizes.push_back(r.size);
  return sizes;
}

// Small discs: every read stays on the disc (the last 5% of 256 blocks is shorter than 64 KiB),
// and a size longer than the whole disc has no rows. The rows are golden/bench_rows.txt: on the
// simulated clock they are exact, and they equalled a model of the drive's timing written apart
// (the command sequence replayed against the timing model) when the file was made.
TEST(BenchmarkMeasurement, EveryDiscGivesTheRowsItsTimingModelGives) {
  NamedTexts texts;
  const struct {
    const char* preset;
    uint32_t blockLength;  // 0: the preset's
    uint64_t blockCount;   // 0: the preset's
    size_t rows;
    std::vector<std::string> sizes;
  } cases[] = {
      {"dvdram", 0, 0, 17, {"2048B", "16384B", "65536B"}},
      {"dvdrom", 0, 0, 17, {"2048B", "16384B", "65536B"}},
      {"hdd", 0, 0, 17, {"512B", "16384B", "65536B"}},
      // The middle size is one block, and at 65536 bytes the whole buffer is too: fewer rows.
      {"dvdram", 16384, 200000, 13, {"16384B", "65536B"}},
      {"dvdram", 65536, 200000, 9, {"65536B"}},
      {"dvdram", 0, 256, 17, {"2048B", "16384B", "65536B"}},
      {"hdd", 0, 100, 13, {"512B", "16384B"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.preset) + " " + std::to_string(c.blockLength) + " " + std::to_string(c.blockCount));
    BenchRigSetup setup;
    setup.preset = *FindDrivePreset(c.preset);
    setup.blockLength = c.blockLength;
    setup.blockCount = c.blockCount;
    BenchRig rig(setup);
    ASSERT_TRUE(rig.Ready());
    const Measured run = Measure(rig);
    EXPECT_FALSE(run.stopped) << SjisToUtf8(run.message);
    EXPECT_EQ(run.rows.size(), c.rows);
    EXPECT_EQ(Sizes(run.rows), c.sizes);
    texts.push_back({std::string(c.preset) + " " + std::to_string(rig.Record().BlockCount()) + " x " +
                         std::to_string(rig.Record().BlockLength()),
                     Describe(run.rows)});
    // A benchmark only reads, and only the disc's blocks.
    for (const SentCommand& sent : rig.Sent()) {
      EXPECT_NE(sent.opcode, scsi_op::kWrite10);
      if (sent.opcode == scsi_op::kRead10) {
        EXPECT_LE(sent.lba + sent.blocks, rig.Record().BlockCount()) << sent.lba;
      }
    }
  }
  ExpectGoldenCases("bench_rows.txt", texts, "tests/bench/golden");
}

TEST(BenchmarkMeasurement, ZeroMotionRowsAreTheDrivesOwnCommandCosts) {
  BenchRig rig;
  const Measured run = Measure(rig);
  ASSERT_GE(run.rows.size(), 3u);
  // DVD-RAM model: 0.5 ms per command; a VERIFY of block 0 again costs a track-to-track seek,
  // half a turn at 3000 rpm and the block's transfer on top.
  EXPECT_EQ(run.rows[0].value, 500);
  EXPECT_EQ(run.rows[1].value, 500);
  EXPECT_GT(run.rows[2].value, 500 + 20000 + 10000);
  EXPECT_EQ(BenchmarkValueText(run.rows[0]), "0.50ms   ");
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

TEST(BenchmarkMeasurement, DrivesWithoutSeekOrVerifyAreTimedWithRead) {
  const struct {
    const char* name;
    uint8_t missing;
    std::vector<size_t> notedRows;
  } cases[] = {
      {"no SEEK(10)", scsi_op::kSeek10, {1, 3, 4}},
      {"no VERIFY(10)", scsi_op::kVerify10, {2}},
  };
  NamedTexts texts;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig;
    rig.Drive().SetHandler(c.missing, {});
    const Measured run = Measure(rig);
    ASSERT_EQ(run.rows.size(), 17u);
    for (size_t i = 0; i < run.rows.size(); ++i) {
      const bool noted = std::find(c.notedRows.begin(), c.notedRows.end(), i) != c.notedRows.end();
      EXPECT_EQ(run.rows[i].note, noted ? kReadFallbackNote : "") << i;
    }
    texts.push_back({c.name, Describe(run.rows)});
  }
  ExpectGoldenCases("bench_rows_fallback.txt", texts, "tests/bench/golden");
  // Without VERIFY(10) the rotation test reads no blocks at block 0, 128 times.
  BenchRig rig;
  rig.Drive().SetHandler(scsi_op::kVerify10, {});
  Measure(rig);
  const auto& sent = rig.Sent();
  const auto emptyReads = std::count_if(sent.begin(), sent.end(), [](const SentCommand& s) {
    return s.opcode == scsi_op::kRead10 && s.blocks == 0 && s.lba == 0;
  });
  EXPECT_EQ(emptyReads, 128);
}

// Pauses before the measurements: 3 zero-motion tests, then the two seek tests, then one per
// transfer measurement (3 sizes x start, end; then 3 of the random test).
constexpr size_t kSequentialSeekPause = 3;
constexpr size_t kRandomSeekPause = 4;
constexpr size_t kRandomTransferPause = 5 + 6;

// The blocks the timed commands of one measurement addressed (the SEEK to 0 before the next
// measurement's pause left out).
std::vector<uint64_t> TimedBlocks(const BenchRig& rig, size_t pause, uint8_t opcode) {
  std::vector<uint64_t> blocks;
  for (const SentCommand& s : rig.SentAfterPause(pause))
    if (s.opcode == opcode) blocks.push_back(s.lba);
  if (opcode == scsi_op::kSeek10 && !blocks.empty()) blocks.pop_back();
  return blocks;
}

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
    BenchRigSetup setup;
    setup.geometry = c.geometry;
    setup.blockCount = c.blockCount;
    BenchRig rig(setup);
    const Measured run = Measure(rig);
    ASSERT_GE(run.rows.size(), 5u);
    EXPECT_EQ(run.rows[3].title, SequentialSeekTitle(c.stride));
    const std::vector<uint64_t> blocks = TimedBlocks(rig, kSequentialSeekPause, scsi_op::kSeek10);
    ASSERT_GT(blocks.size(), 10u);
    // The timed seeks start at block 0 and step by the stride, back to 0 past the end.
    uint64_t expected = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
      ASSERT_EQ(blocks[i], expected) << i;
      expected += c.stride;
      if (expected >= rig.Record().BlockCount()) expected = 0;
    }
  }
}

TEST(BenchmarkMeasurement, RandomAddressesFollowTheGeneratorSeededOnlyForTransfers) {
  BenchRig rig;
  Measure(rig);
  const uint64_t L = rig.Record().BlockCount();
  // The random seek starts at block 0 and draws from the generator's first state: 41, 18467, ...
  const std::vector<uint64_t> seeks = TimedBlocks(rig, kRandomSeekPause, scsi_op::kSeek10);
  ASSERT_GE(seeks.size(), 4u);
  EXPECT_EQ(std::vector<uint64_t>(seeks.begin(), seeks.begin() + 4),
            (std::vector<uint64_t>{0, 41 * L / 32768, 18467 * L / 32768, 6334 * L / 32768}));
  // Each random transfer reads block 0 first, then from the generator seeded with 0 (38, 7719,
  // 21238, ...): the same blocks for every size.
  const std::vector<uint64_t> oneBlock = TimedBlocks(rig, kRandomTransferPause, scsi_op::kRead10);
  ASSERT_GE(oneBlock.size(), 20u);  // each random read seeks: about 100 ms of drive time
  EXPECT_EQ(std::vector<uint64_t>(oneBlock.begin(), oneBlock.begin() + 4),
            (std::vector<uint64_t>{0, 38 * L / 32768, 7719 * L / 32768, 21238 * L / 32768}));
  for (size_t size = 1; size < 3; ++size) {
    SCOPED_TRACE(size);
    const std::vector<uint64_t> reads = TimedBlocks(rig, kRandomTransferPause + size, scsi_op::kRead10);
    ASSERT_GE(reads.size(), 20u);
    const size_t common = std::min(reads.size(), oneBlock.size());
    EXPECT_TRUE(std::equal(reads.begin(), reads.begin() + static_cast<std::ptrdiff_t>(common), oneBlock.begin()));
  }
}

TEST(BenchmarkMeasurement, FaultsEndTheTestTheGroupOrTheRunAndKeepTheRowsBefore) {
  const uint64_t endFirst = 2295104 - 2295104 * 5 / 100;
  auto inEndRegion = [endFirst](const SentCommand& s) { return s.opcode == scsi_op::kRead10 && s.lba >= endFirst; };
  const struct {
    const char* name;
    std::function<void(BenchRig&)> fault;
    std::vector<std::string> titlesMissing;  // rows the fault takes out of the full 17
    size_t rows;
    bool stopped;
    std::function<std::string(BenchRig&)> message;
  } cases[] = {
      {"the 50th TEST UNIT READY fails: no row for it, the next test runs",
       [](BenchRig& rig) {
         auto count = std::make_shared<int>(0);
         rig.FailWhen([count](const SentCommand& s) { return s.opcode == scsi_op::kTestUnitReady && ++*count == 50; },
                      kSenseMediumNotPresent);
       },
       {kTitleTestUnitReady}, 16, false, nullptr},
      {"a sequential seek fails: no seek rows, the transfers run",
       [](BenchRig& rig) { rig.FailWhen([](const SentCommand& s) { return s.opcode == scsi_op::kSeek10 && s.lba == 32; }); },
       {SequentialSeekTitle(32), kTitleRandomSeek}, 15, false, nullptr},
      {"a random seek fails: the sequential seek stays",
       [](BenchRig& rig) {
         rig.FailWhen([](const SentCommand& s) { return s.opcode == scsi_op::kSeek10 && s.lba == 41u * 2295104 / 32768; });
       },
       {kTitleRandomSeek}, 16, false, nullptr},
      {"the drive refuses a read of the end region",
       [&](BenchRig& rig) { rig.FailWhen(inEndRegion); }, {}, 8, true,
       [](BenchRig&) { return std::string("読み取りエラー\r\n        \r\n"); }},
      {"the drive moves less than asked",
       [&](BenchRig& rig) {
         rig.OnCommand([&rig, inEndRegion](const SentCommand& s) {
           if (inEndRegion(s)) rig.Drive().InjectShortTransfer(1024);
         });
       },
       {}, 8, true, [](BenchRig&) { return std::string("読み取りエラー\r\n        \r\n"); }},
      {"the drive goes away: the system says why",
       [&](BenchRig& rig) {
         rig.OnCommand([&rig, inEndRegion](const SentCommand& s) {
           if (inEndRegion(s)) rig.Drive().SetVanished(true);
         });
       },
       {}, 8, true,
       [](BenchRig& rig) {
         return "読み取りエラー\r\n        " + SystemErrorText(rig.Device().Port().ErrorCode(PortError::kDeviceGone)) +
                "\r\n";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig;
    c.fault(rig);
    const Measured run = Measure(rig);
    EXPECT_EQ(run.rows.size(), c.rows) << Describe(run.rows);
    EXPECT_EQ(run.stopped, c.stopped);
    if (c.message) {
      EXPECT_EQ(run.message, c.message(rig));
    }
    // The rows that remain are those of a fault-free run, in order, minus the missing ones
    // and minus everything after a stop.
    BenchRig clean;
    std::vector<BenchmarkResult> expected = Measure(clean).rows;
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [&](const BenchmarkResult& r) {
                                    return std::find(c.titlesMissing.begin(), c.titlesMissing.end(), r.title) !=
                                           c.titlesMissing.end();
                                  }),
                   expected.end());
    expected.resize(c.rows);
    std::vector<std::string> titles, expectedTitles;
    for (const auto& r : run.rows) titles.push_back(SjisToUtf8(r.title) + " " + r.size);
    for (const auto& r : expected) expectedTitles.push_back(SjisToUtf8(r.title) + " " + r.size);
    EXPECT_EQ(titles, expectedTitles);
  }
}

TEST(BenchmarkMeasurement, StopMessagesOfTheWholeRun) {
  const struct {
    const char* name;
    BenchRigSetup setup;
    uint64_t clockBackAt;  // 0: never
    size_t rows;
    const char* message;
  } cases[] = {
      {"no disc: block count 0", NoDisc(), 0, 0, kStopNotReady},
      // 390 readings time the zero-motion tests (130 each); 200 lies in the second.
      {"the clock goes back in the second zero-motion test", {}, 200, 1, kStopClockError},
      {"the clock goes back in the sequential seek", {}, 400, 3, kStopClockError},
      // No drive has blocks longer than 64 KiB: the capacity counts as unread.
      {"a block longer than the transfer buffer", Disc(131072, 1000), 0, 0, kStopNotReady},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig(c.setup);
    ASSERT_TRUE(rig.Ready());
    if (c.clockBackAt) rig.Clock().GoBackAtReading(c.clockBackAt);
    const Measured run = Measure(rig);
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.message, c.message);
    EXPECT_EQ(run.rows.size(), c.rows) << Describe(run.rows);
  }
}

TEST(BenchmarkMeasurement, CancelKeepsTheRowUnderWayAndStopsBeforeTheNext) {
  // During the first test: it still completes and is the only row.
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
  // The bar is not filled after a stop.
  EXPECT_EQ(during.events.back(), "status " + SjisToUtf8(kTitleTestUnitReady));

  // Before the first check: nothing is measured, the box is not touched, no command is sent.
  BenchRig early;
  const Measured before = Measure(early, [](BenchmarkMeasurement& m, RecordingSink&) { m.RequestStop(); });
  EXPECT_TRUE(before.stopped);
  EXPECT_TRUE(before.rows.empty());
  EXPECT_TRUE(before.events.empty());
  EXPECT_TRUE(early.Sent().empty());
}

// The sampled curve of a constant linear and a constant angular velocity disc: every point, its
// least and greatest rate, within 2 % of the rate the timing model gives where it was read.
TEST(SpeedCurve, FollowsTheTimingModelAtEveryPoint) {
  const struct {
    const char* preset;
    uint32_t points;
  } cases[] = {{"dvdram", 400}, {"dvdrom", 400}, {"dvdrom", 7}, {"hdd", 50}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.preset) + " " + std::to_string(c.points));
    BenchRigSetup setup;
    setup.preset = *FindDrivePreset(c.preset);
    BenchRig rig(setup);
    ASSERT_TRUE(rig.Ready());
    ASSERT_EQ(rig.Device().Open(rig.Record().path.c_str(), kOpenSharedReadWrite), 0);
    const uint64_t blocks = rig.Record().BlockCount();
    const SpeedCurve curve = MeasureSpeedCurve(rig.Device(), rig.Record().Address(), rig.Record().BlockLength(), blocks,
                                               rig.Clock(), c.points, [](uint32_t, uint32_t) { return true; });
    EXPECT_TRUE(curve.complete) << curve.failure;
    ASSERT_EQ(curve.points.size(), c.points);
    EXPECT_EQ(curve.points.front().first, 0u);
    EXPECT_EQ(curve.points.back().first + curve.points.back().count, blocks);
    for (const SpeedPoint& p : curve.points) {
      const double model = TransferRateMBps(setup.preset.timing, blocks, double(p.first) + p.count / 2.0) * 1e6;
      EXPECT_NEAR(double(p.minBytesPerSecond), model, model * 0.02) << p.first;
      EXPECT_NEAR(double(p.maxBytesPerSecond), model, model * 0.02) << p.first;
    }
    // Sampled: a few transfers a point, not the whole disc.
    EXPECT_LT(rig.Sent().size(), c.points * 5 + 20);
  }
}

}  // namespace
}  // namespace orv::test

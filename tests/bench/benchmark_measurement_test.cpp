// A run's measurements on virtual drives with the timing model and the simulated clock, on the
// test's thread, and the sampled speed curve.
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

// The rows are golden/bench_rows.txt, exact on the simulated clock: those of whole discs and drives
// without SEEK/VERIFY equalled a model of the timing written apart (the commands replayed against
// it), the others the rows of a fault-free run less the fault's, none after a stop. Every read
// stays on small discs; the seek stride is the geometry's sectors per track (32 when it fails, a
// hundredth of a shorter medium); every seek and random address is in the figures.
TEST(BenchmarkMeasurement, RowsOfEveryDiscDriveAndFault) {
  const uint64_t endFirst = 2295104 - 2295104 * 5 / 100;
  auto inEndRegion = [endFirst](const SentCommand& s) { return s.opcode == scsi_op::kRead10 && s.lba >= endFirst; };
  auto without = [](uint8_t opcode) { return [opcode](BenchRig& rig) { rig.Drive().SetHandler(opcode, {}); }; };
  auto clockBackAt = [](uint64_t reading) { return [reading](BenchRig& rig) { rig.Clock().backAt = reading; }; };
  const std::string readError = "読み取りエラー\r\n        \r\n";
  const struct {
    const char* name;
    BenchRigSetup setup;
    std::function<void(BenchRig&)> fault;
    std::string message;  // of a stop; "system": the read error with the system's reason
  } cases[] = {
      {"dvdram 2295104 x 2048", {}, nullptr, ""},
      {"dvdrom 4171712 x 2048", {.preset = *FindDrivePreset("dvdrom")}, nullptr, ""},
      {"hdd 16777216 x 512", {.preset = *FindDrivePreset("hdd")}, nullptr, ""},
      {"dvdram 200000 x 65536", {.blockLength = 65536, .blockCount = 200000}, nullptr, ""},
      {"dvdram 256 x 2048", {.blockCount = 256}, nullptr, ""},
      {"hdd 100 x 512", {.preset = *FindDrivePreset("hdd"), .blockCount = 100}, nullptr, ""},
      {"no SEEK(10)", {}, without(scsi_op::kSeek10), ""},
      {"no VERIFY(10): the rotation test reads no blocks at block 0", {}, without(scsi_op::kVerify10), ""},
      {"63 sectors per track", {.geometry = {false, 63}}, nullptr, ""},
      {"the geometry request fails", {.geometry = {true, std::nullopt}}, nullptr, ""},
      {"5000 blocks, 6000 per track", {.blockCount = 5000, .geometry = {false, 6000}}, nullptr, ""},
      {"50 blocks, 63 per track", {.blockCount = 50, .geometry = {false, 63}}, nullptr, ""},
      {"the 50th TEST UNIT READY fails: no row for it, the next test runs", {},
       [](BenchRig& rig) {
         auto count = std::make_shared<int>(0);
         rig.FailWhen([count](const SentCommand& s) { return s.opcode == scsi_op::kTestUnitReady && ++*count == 50; },
                      kSenseMediumNotPresent);
       },
       ""},
      {"a sequential seek fails: no seek rows, the transfers run", {},
       [](BenchRig& rig) { rig.FailWhen([](const SentCommand& s) { return s.opcode == scsi_op::kSeek10 && s.lba == 32; }); },
       ""},
      {"a random seek fails: the sequential seek stays", {},
       [](BenchRig& rig) {
         rig.FailWhen([](const SentCommand& s) { return s.opcode == scsi_op::kSeek10 && s.lba == 41u * 2295104 / 32768; });
       },
       ""},
      {"the drive refuses a read of the end region", {}, [&](BenchRig& rig) { rig.FailWhen(inEndRegion); }, readError},
      {"the drive moves less than asked", {},
       [&](BenchRig& rig) {
         rig.OnCommand([&rig, inEndRegion](const SentCommand& s) {
           if (inEndRegion(s)) rig.Drive().InjectShortTransfer(1024);
         });
       },
       readError},
      {"the drive goes away", {},
       [&](BenchRig& rig) {
         rig.OnCommand([&rig, inEndRegion](const SentCommand& s) {
           if (inEndRegion(s)) rig.Drive().SetVanished(true);
         });
       },
       "system"},
      {"no disc: block count 0", {.withMedium = false}, nullptr, kStopNotReady},
      // 390 readings time the zero-motion tests (130 each): 200 lies in the second.
      {"the clock goes back in the second zero-motion test", {}, clockBackAt(200), kStopClockError},
      {"the clock goes back in the sequential seek", {}, clockBackAt(400), kStopClockError},
      // No drive has blocks longer than 64 KiB: the capacity counts as unread.
      {"a block longer than the transfer buffer", {.blockLength = 131072, .blockCount = 1000}, nullptr, kStopNotReady},
  };
  NamedTexts texts;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig(c.setup);
    ASSERT_TRUE(rig.Ready());
    if (c.fault) c.fault(rig);
    const Measured run = Measure(rig);
    EXPECT_EQ(run.stopped, !c.message.empty());
    const std::string why = SystemErrorText(rig.Device().Port().ErrorCode(PortError::kDeviceGone));
    EXPECT_EQ(run.message, c.message != "system" ? c.message : "読み取りエラー\r\n        " + why + "\r\n");
    texts.push_back({c.name, Describe(run.rows)});
    for (const SentCommand& sent : rig.Sent()) {  // a benchmark only reads, and only the disc's blocks
      EXPECT_NE(sent.opcode, scsi_op::kWrite10);
      if (sent.opcode == scsi_op::kRead10) {
        EXPECT_LE(sent.lba + sent.blocks, rig.Record().BlockCount()) << sent.lba;
      }
    }
  }
  ExpectGoldenCases("bench_rows.txt", texts, "tests/bench/golden");
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
  EXPECT_EQ(during.rows.size(), 1u);
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

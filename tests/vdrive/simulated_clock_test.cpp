// A virtual drive with a simulated clock: every command advances the clock by what the timing
// model says it takes, instead of sleeping.
#include <gtest/gtest.h>

#include <thread>  // steady_clock; <chrono> itself does not build with a CP932 execution charset
#include <vector>

#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/drive_config.h"
#include "vdrive/timing.h"
#include "vdrive/virtual_drive.h"

namespace orv {
namespace {

std::vector<uint8_t> Cdb10(uint8_t op, uint32_t lba, uint16_t blocks) {
  std::vector<uint8_t> c(10, 0);
  c[0] = op;
  PutBe32(c.data() + 2, lba);
  PutBe16(c.data() + 7, blocks);
  return c;
}

TEST(SimulatedClock, EachCommandAdvancesItByTheModelsDelay) {
  const DrivePreset& preset = *FindDrivePreset("dvdram");
  auto drive = MakeVirtualDrive(preset);
  auto clock = std::make_shared<SimulatedClock>();
  drive->SetSimulatedClock(clock);
  std::vector<uint8_t> buffer(65536);

  // Timing off: the clock stands still.
  drive->Execute(Cdb10(scsi_op::kRead10, 1000, 32), DataDirection::kIn, buffer.data(), 65536);
  EXPECT_EQ(clock->NowMicroseconds(), 0);

  drive->SetTimingEnabled(true);
  HeadPosition head;  // the head has not moved while timing was off
  int64_t expected = 0;
  const struct {
    uint8_t opcode;
    uint32_t lba;
    uint16_t blocks;
    bool addressed;
  } commands[] = {
      {scsi_op::kTestUnitReady, 0, 0, false},
      {scsi_op::kRead10, 100000, 32, true},  // a long seek, half a turn, 64 KiB
      {scsi_op::kRead10, 100032, 32, true},  // on from where the head is: the transfer only
      {scsi_op::kSeek10, 0, 0, true},
      {scsi_op::kVerify10, 0, 1, true},
      {scsi_op::kRead10, 0xFFFFFF00u, 1, false},  // refused (past the end): the overhead only
  };
  const auto started = std::chrono::steady_clock::now();
  for (const auto& c : commands) {
    std::vector<uint8_t> cdb = c.opcode == scsi_op::kTestUnitReady ? std::vector<uint8_t>(6, 0)
                                                                   : Cdb10(c.opcode, c.lba, c.blocks);
    const bool data = c.opcode == scsi_op::kRead10;
    drive->Execute(cdb, data ? DataDirection::kIn : DataDirection::kNone, data ? buffer.data() : nullptr,
                   data ? 65536 : 0);
    const uint32_t blocks = c.opcode == scsi_op::kSeek10 ? 0 : c.blocks;
    expected += DelayMicroseconds(
        CommandDelayMs(preset.timing, preset.blockCount, preset.blockLength, head, c.addressed, c.lba, blocks));
    EXPECT_EQ(clock->NowMicroseconds(), expected) << int(c.opcode) << " " << c.lba;
  }
  EXPECT_GT(expected, 100000);  // more than 100 ms of drive time...
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));  // ...taken at once
  EXPECT_EQ(DelayMicroseconds(0.5), 500);
  EXPECT_EQ(DelayMicroseconds(0.2968), 296);  // fractions of a microsecond are dropped
}

// One 64 KiB READ(10) right where a SEEK(10) left the head: overhead and transfer only, at the
// rate of the place read (constant on DVD-RAM, growing 2.4 times outwards on the DVD-ROM), plus
// the time of a slow place the read touches. Microseconds worked out by hand from the presets.
TEST(SimulatedClock, TransferTimeFollowsThePlaceOnTheDisc) {
  const struct {
    const char* name;
    const char* drive;
    uint32_t lba;
    int64_t us;
  } cases[] = {
      {"constant linear, inner edge", "E=dvdram", 0, 9997},          // 0.5 + 65536 / 6900
      {"constant linear, outer edge", "E=dvdram", 2295072, 9997},
      {"constant angular, inner edge", "E=dvdrom", 0, 7649},         // 0.5 + 65536 / (22000 / 2.4)
      {"constant angular, middle", "E=dvdrom", 2085840, 4388},       // rate x sqrt(0.174 + 0.826 / 2)
      {"constant angular, outer edge", "E=dvdrom", 4171680, 3478},   // 0.5 + 65536 / 22000
      {"slow place touched", "E=dvdram:slow=40+1+40", 32, 49997},
      {"slow place just after", "E=dvdram:slow=64+1+40", 32, 9997},
  };
  std::vector<uint8_t> buffer(65536);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<VirtualDriveSpec> parsed;
    std::string error;
    ASSERT_EQ(ParseVirtualDriveSpecs(c.drive, parsed, error), 0) << error;
    auto drive = MakeVirtualDrive(parsed.at(0), error);
    auto clock = std::make_shared<SimulatedClock>();
    drive->SetSimulatedClock(clock);
    drive->SetTimingEnabled(true);
    drive->Execute(Cdb10(scsi_op::kSeek10, c.lba, 0), DataDirection::kNone, nullptr, 0);
    const int64_t before = clock->NowMicroseconds();
    drive->Execute(Cdb10(scsi_op::kRead10, c.lba, 32), DataDirection::kIn, buffer.data(), 65536);
    EXPECT_EQ(clock->NowMicroseconds() - before, c.us);
  }
}

}  // namespace
}  // namespace orv

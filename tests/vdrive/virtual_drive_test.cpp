// The emulator as a SCSI target: sense byte for sense byte, allocation lengths, capacities past
// 32 bits (what the report uses, every preset's `info` golden file shows whole); its timing.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>  // steady_clock; <chrono> itself does not build with a CP932 execution charset
#include <vector>

#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/drive_config.h"
#include "vdrive/timing.h"
#include "vdrive/virtual_drive.h"

namespace orv {
namespace {

std::unique_ptr<VirtualDrive> Drive(const char* preset) { return MakeVirtualDrive(*FindDrivePreset(preset)); }

struct Sent {
  CommandOutcome outcome;
  std::vector<uint8_t> data;
  // "good N" (N bytes moved) or "check K/AAh" (sense key, ASC; "K/AA/QQh" with an ASCQ) after
  // checking the sense's fixed format: response code 70h, additional length 10, nothing moved.
  std::string Text() const {
    char text[32];
    if (outcome.status == kScsiStatusGood) {
      std::snprintf(text, sizeof text, "good %u", outcome.transferred);
    } else {
      const auto& s = outcome.sense;
      const bool fixed = outcome.senseLength == 18 && s[0] == 0x70 && s[7] == 10 && outcome.transferred == 0;
      std::snprintf(text, sizeof text, s[13] ? "%s %X/%02X/%02Xh" : "%s %X/%02Xh", fixed ? "check" : "malformed", s[2],
                    s[12], s[13]);
    }
    return text;
  }
};

Sent Send(VirtualDrive& drive, std::vector<uint8_t> cdb, DataDirection direction = DataDirection::kIn,
          uint32_t length = 0, std::vector<uint8_t> out = {}) {
  Sent s;
  s.data = direction == DataDirection::kOut ? out : std::vector<uint8_t>(length, 0xEE);
  s.outcome = drive.Execute(cdb, direction, s.data.empty() ? nullptr : s.data.data(),
                            static_cast<uint32_t>(s.data.size()));
  return s;
}

std::vector<uint8_t> Cdb10(uint8_t op, uint32_t lba, uint16_t blocks, uint8_t byte1 = 0) {
  return {op, byte1, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, uint8_t(blocks >> 8),
          uint8_t(blocks), 0};
}

// Braced lists run their commands in order.
using Answers = std::vector<std::string>;
const std::vector<uint8_t> kTur = {0, 0, 0, 0, 0, 0};
std::string Tur(VirtualDrive& drive) { return Send(drive, kTur).Text(); }

TEST(VirtualDrive, SenseAnswers) {
  using enum DataDirection;
  const struct {
    const char* preset;
    std::vector<uint8_t> cdb;
    DataDirection direction;
    uint32_t length;
    const char* answer;
  } cases[] = {
      {"dvdram", {0xFF, 0, 0, 0, 0, 0}, kNone, 0, "check 5/20h"},  // unsupported opcode
      {"dvdram", Cdb10(0x28, 2295104, 1), kIn, 2048, "check 5/21h"},
      {"dvdram", Cdb10(0x28, 2295103, 2), kIn, 4096, "check 5/21h"},  // straddling the end
      {"hdd", Cdb10(0x2A, 16777216, 1), kOut, 512, "check 5/21h"},
      {"dvdram", Cdb10(0x2F, 2295100, 5), kNone, 0, "check 5/21h"},
      {"nodisc", kTur, kNone, 0, "check 2/3Ah"},
      {"nodisc", Cdb10(0x28, 0, 1), kIn, 2048, "check 2/3Ah"},
      {"dvdrom", Cdb10(0x2A, 0, 1), kOut, 2048, "check 7/27h"},      // read-only disc
      {"dvdram", {0x12, 0x01, 0x83, 0, 36, 0}, kIn, 36, "check 5/24h"},  // unknown VPD page
      {"dvdram", {0x12, 0x00, 0x80, 0, 36, 0}, kIn, 36, "check 5/24h"},  // page without EVPD
      {"dvdram", {0x28, 0, 0}, kIn, 2048, "check 5/24h"},                // short CDB
      {"dvdram", {0x5A, 0x08, 0xFF, 0, 0, 0, 0, 0x10, 0, 0}, kIn, 4096, "check 5/39h"},  // saved mode values
      {"dvdram", {0x5A, 0x08, 0x05, 0, 0, 0, 0, 0x10, 0, 0}, kIn, 4096, "check 5/24h"},  // a mode page it lacks
      {"dvdram", {0x46, 3, 0, 0, 0, 0, 0, 0x10, 0, 0}, kIn, 4096, "check 5/24h"},        // configuration type 3
      {"dvdrom", {0xAD, 0, 0, 0, 0, 0, 0, 0x02, 0x10, 0, 0, 0}, kIn, 4096, "check 5/6F/02h"},  // key not established
      {"dvdrom", {0xAD, 0, 0, 0, 0, 0, 1, 0x02, 0x10, 0, 0, 0}, kIn, 4096, "check 5/24h"},  // no layer 1
  };
  for (const auto& c : cases) {
    auto drive = Drive(c.preset);
    const bool out = c.direction == kOut;
    EXPECT_EQ(Send(*drive, c.cdb, c.direction, out ? 0 : c.length, std::vector<uint8_t>(out ? c.length : 0, 1)).Text(),
              c.answer)
        << c.preset << " opcode " << int(c.cdb[0]);
  }
}

TEST(VirtualDrive, AllocationLengthBoundsTheAnswer) {
  auto drive = Drive("dvdram");
  const Sent s = Send(*drive, {0x12, 0, 0, 0, 5, 0}, DataDirection::kIn, 40);
  EXPECT_EQ(s.Text(), "good 5");
  EXPECT_EQ(s.data[5], 0xEE);
  const Sent serial = Send(*drive, {0x12, 1, 0x80, 0, 255, 0}, DataDirection::kIn, 255);
  EXPECT_EQ(serial.data[1], 0x80);
  EXPECT_EQ(serial.Text(), "good " + std::to_string(4 + serial.data[3]));
  const Sent pages = Send(*drive, {0x12, 1, 0x00, 0, 255, 0}, DataDirection::kIn, 255);
  EXPECT_EQ(std::vector<uint8_t>(pages.data.begin(), pages.data.begin() + 6), (std::vector<uint8_t>{5, 0, 0, 2, 0x00, 0x80}));
  // READ DVD STRUCTURE asking for 4096 bytes into a buffer of 100.
  const std::vector<uint8_t> structure = {0xAD, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0};
  EXPECT_EQ(Send(*Drive("dvdrom"), structure, DataDirection::kIn, 100).Text(), "good 100");
}

// More blocks than 32 bits can number: FFFFFFFFh, as SBC asks (each preset's own capacity is in
// its summary and info golden files).
TEST(VirtualDrive, ReadCapacityOfMoreThan32BitsOfBlocks) {
  VirtualDrive drive(*FindDrivePreset("hdd"), MakeMemoryMedium(512, 0x200000000ull, false));
  const Sent s = Send(drive, Cdb10(0x25, 0, 0), DataDirection::kIn, 8);
  EXPECT_EQ(s.Text(), "good 8");
  EXPECT_EQ(std::vector<uint8_t>(s.data.begin(), s.data.end()), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}));
}

// Writes reading back are every operation test's matter; VERIFY with BYTCHK compares with the data sent.
TEST(VirtualDrive, VerifyComparesAndZeroBlocksMoveNothing) {
  auto drive = Drive("hdd");
  std::vector<uint8_t> pattern(1024);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i ^ 0x5A);
  EXPECT_EQ(Send(*drive, Cdb10(0x2A, 16777214, 2), DataDirection::kOut, 0, pattern).Text(), "good 1024");
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.status, kScsiStatusGood);
  pattern[700] ^= 1;
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.sense[2], 0x0E);
  EXPECT_EQ(Send(*drive, Cdb10(0x28, 0, 0), DataDirection::kNone).Text(), "good 0");
}

TEST(VirtualDrive, RequestSenseReportsTheStandingCondition) {
  for (const char* preset : {"dvdram", "nodisc"}) {
    auto drive = Drive(preset);
    const Sent s = Send(*drive, {0x03, 0, 0, 0, 252, 0}, DataDirection::kIn, 252);
    EXPECT_EQ(s.Text(), "good 18") << preset;
    EXPECT_EQ((std::vector<uint8_t>{s.data[0], s.data[7], s.data[12]}),
              (std::vector<uint8_t>{0x70, 10, uint8_t(drive->HasMedium() ? 0x00 : 0x3A)})) << preset;
  }
}

// Answer overrides and hooks that only answer are the path and scan tests' tools.
TEST(VirtualDrive, HandlersAndHooksExtendTheDrive) {
  auto drive = Drive("dvdram");
  drive->SetHandler(0x46, [](VirtualDrive&, CommandContext& c) {
    const uint8_t header[8] = {0, 0, 0, 4, 0, 0, 0, 0x12};
    c.SendData(header, GetBe16(c.cdb.data() + 7));
  });
  const Sent config = Send(*drive, {0x46, 0, 0, 0, 0, 0, 0, 0, 8, 0}, DataDirection::kIn, 64);
  EXPECT_EQ(config.Text(), "good 8");
  EXPECT_EQ(config.data[7], 0x12);
  drive->SetHandler(0x2B, nullptr);  // removing a handler makes the opcode unsupported
  EXPECT_EQ(Send(*drive, Cdb10(0x2B, 0, 0)).Text(), "check 5/20h");
  // A hook may use the drive's own API while the drive's lock is held: here it takes the disc out.
  drive->SetAnswerHook([](VirtualDrive& d, CommandContext&) {
    if (d.CommandCount() == 1) d.ChangeMedium(nullptr);
    return false;
  });
  drive->ClearCommandLog();
  EXPECT_EQ(Tur(*drive), "check 2/3Ah");
  // A new disc gives one unit attention, which INQUIRY neither reports nor clears; taking it out
  // gives another, then medium not present.
  drive->ChangeMedium(MakeMemoryMedium(2048, 10, false));
  EXPECT_EQ(Send(*drive, {0x12, 0, 0, 0, 36, 0}, DataDirection::kIn, 36).Text(), "good 36");
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "good 0"}));
  drive->ChangeMedium(nullptr);
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "check 2/3Ah"}));
}

TEST(VirtualDrive, TimingModelGrowsWithDistanceAndLength) {
  const TimingModel m{.commandOverheadMs = 1, .trackToTrackSeekMs = 2, .fullStrokeSeekMs = 102,
                      .rotationsPerMinute = 6000, .transferMBps = 2.048};
  HeadPosition head;
  // No block address: overhead only, the head stays.
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, false, 5000, 1), 1.0);
  EXPECT_EQ(head.lba, 0u);
  // Full stroke: overhead + 102 ms seek + 5 ms half turn + 1 ms per 2048 bytes.
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, true, 10000, 4), 1 + 102 + 5 + 4);
  EXPECT_EQ(head.lba, 10004u);
  // Reading on from where the head is: no seek, no latency.
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, true, 10004, 1), 1 + 1);
  // A quarter of the stroke costs half the seek span (square root).
  head.lba = 0;
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, true, 2500, 0), 1 + 2 + 50 + 5);
}

// Timing off, the clock stands still; on, a command without a block address and a refused read
// cost the overhead alone (0.5 ms on DVD-RAM), and drive time passes without sleeping.
TEST(SimulatedClock, EachCommandAdvancesItByTheModelsDelay) {
  auto drive = MakeVirtualDrive(*FindDrivePreset("dvdram"));
  auto clock = std::make_shared<SimulatedClock>();
  drive->SetSimulatedClock(clock);
  std::vector<uint8_t> buffer(65536);
  drive->Execute(Cdb10(scsi_op::kRead10, 1000, 32), DataDirection::kIn, buffer.data(), 65536);
  EXPECT_EQ(clock->NowMicroseconds(), 0);
  drive->SetTimingEnabled(true);
  drive->Execute(std::vector<uint8_t>(6, 0), DataDirection::kNone, nullptr, 0);
  EXPECT_EQ(clock->NowMicroseconds(), 500);
  drive->Execute(Cdb10(scsi_op::kRead10, 0xFFFFFF00u, 1), DataDirection::kIn, buffer.data(), 2048);
  EXPECT_EQ(clock->NowMicroseconds(), 1000);
  const auto started = std::chrono::steady_clock::now();
  drive->Execute(Cdb10(scsi_op::kRead10, 2000000, 32), DataDirection::kIn, buffer.data(), 65536);
  EXPECT_GT(clock->NowMicroseconds(), 100000);  // more than 100 ms of drive time...
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));  // ...taken at once
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

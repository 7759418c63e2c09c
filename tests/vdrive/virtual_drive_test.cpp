// The emulator as a SCSI target: what a real drive answers, sense byte for sense byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

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
  // "good N" (N bytes moved) or "check K/AAh" (sense key, ASC) after checking the sense's fixed
  // format: response code 70h, additional length 10, ASCQ 0, nothing moved.
  std::string Text() const {
    char text[32];
    if (outcome.status == kScsiStatusGood) {
      std::snprintf(text, sizeof text, "good %u", outcome.transferred);
    } else {
      const auto& s = outcome.sense;
      const bool fixed = outcome.senseLength == 18 && s[0] == 0x70 && s[7] == 10 && s[13] == 0 && outcome.transferred == 0;
      std::snprintf(text, sizeof text, "%s %X/%02Xh", fixed ? "check" : "malformed", s[2], s[12]);
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
  std::vector<uint8_t> c(10, 0);
  c[0] = op;
  c[1] = byte1;
  PutBe32(c.data() + 2, lba);
  PutBe16(c.data() + 7, blocks);
  return c;
}

// Braced lists run their commands in order.
using Answers = std::vector<std::string>;
const std::vector<uint8_t> kTur = {0, 0, 0, 0, 0, 0};
std::string Tur(VirtualDrive& drive) { return Send(drive, kTur).Text(); }
std::string Read(VirtualDrive& drive, uint32_t lba = 0) { return Send(drive, Cdb10(0x28, lba, 1), DataDirection::kIn, 2048).Text(); }

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
      {"dvdram", {0x04, 0, 0, 0, 0, 0}, kNone, 0, "check 5/20h"},  // FORMAT UNIT is not supported
      {"dvdram", Cdb10(0x28, 2295104, 1), kIn, 2048, "check 5/21h"},
      {"dvdram", Cdb10(0x28, 2295103, 2), kIn, 4096, "check 5/21h"},  // straddling the end
      {"hdd", Cdb10(0x2A, 16777216, 1), kOut, 512, "check 5/21h"},
      {"hdd", Cdb10(0x2B, 16777216, 0), kNone, 0, "check 5/21h"},
      {"dvdram", Cdb10(0x2F, 2295100, 5), kNone, 0, "check 5/21h"},
      {"nodisc", kTur, kNone, 0, "check 2/3Ah"},
      {"nodisc", Cdb10(0x25, 0, 0), kIn, 8, "check 2/3Ah"},
      {"nodisc", Cdb10(0x28, 0, 1), kIn, 2048, "check 2/3Ah"},
      {"dvdrom", Cdb10(0x2A, 0, 1), kOut, 2048, "check 7/27h"},      // read-only disc
      {"dvdram", {0x12, 0x01, 0x83, 0, 36, 0}, kIn, 36, "check 5/24h"},  // unknown VPD page
      {"dvdram", {0x12, 0x00, 0x80, 0, 36, 0}, kIn, 36, "check 5/24h"},  // page without EVPD
      {"dvdram", {0x28, 0, 0}, kIn, 2048, "check 5/24h"},                // short CDB
  };
  for (const auto& c : cases) {
    auto drive = Drive(c.preset);
    const bool out = c.direction == kOut;
    EXPECT_EQ(Send(*drive, c.cdb, c.direction, out ? 0 : c.length, std::vector<uint8_t>(out ? c.length : 0, 1)).Text(),
              c.answer)
        << c.preset << " opcode " << int(c.cdb[0]);
  }
}

TEST(VirtualDrive, InquiryOfEachPreset) {
  const struct {
    const char* preset;
    uint8_t type, rmb, version;
    const char* product;
  } cases[] = {
      {"dvdram", 5, 0x80, 0, "VIRTUAL DVD-RAM "},
      {"dvdrom", 5, 0x80, 0, "VIRTUAL DVD-ROM "},
      {"hdd", 0, 0x00, 2, "VIRTUAL DISK    "},
      {"nodisc", 5, 0x80, 0, "VIRTUAL DVD-RAM "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.preset);
    const Sent s = Send(*Drive(c.preset), {0x12, 0, 0, 0, 96, 0}, DataDirection::kIn, 255);
    EXPECT_EQ(s.Text(), "good 96");
    // Type, RMB, version, additional length (96 bytes in all), nothing beyond what was moved.
    EXPECT_EQ((std::vector<uint8_t>{s.data[0], s.data[1], s.data[2], s.data[4], s.data[96]}),
              (std::vector<uint8_t>{c.type, c.rmb, c.version, 91, 0xEE}));
    EXPECT_EQ(std::string(s.data.begin() + 16, s.data.begin() + 32), c.product);
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
}

TEST(VirtualDrive, ReadCapacityAnswersTheLastBlock) {
  const struct {
    std::shared_ptr<VirtualDrive> drive;
    uint32_t last, length;
  } cases[] = {{Drive("dvdram"), 2295103, 2048}, {Drive("dvdrom"), 4171711, 2048}, {Drive("hdd"), 16777215, 512},
               // More blocks than 32 bits can number: FFFFFFFFh, as SBC asks.
               {std::make_shared<VirtualDrive>(*FindDrivePreset("hdd"), MakeMemoryMedium(512, 0x200000000ull, false)),
                0xFFFFFFFF, 512}};
  for (const auto& c : cases) {
    const Sent s = Send(*c.drive, Cdb10(0x25, 0, 0), DataDirection::kIn, 8);
    EXPECT_EQ(s.Text(), "good 8");
    EXPECT_EQ(GetBe32(s.data.data()), c.last);
    EXPECT_EQ(GetBe32(s.data.data() + 4), c.length);
  }
}

TEST(VirtualDrive, WritesReadBackAndUnwrittenBlocksAreZero) {
  auto drive = Drive("hdd");
  std::vector<uint8_t> pattern(1024);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i ^ 0x5A);
  EXPECT_EQ(Send(*drive, Cdb10(0x2A, 16777214, 2), DataDirection::kOut, 0, pattern).Text(), "good 1024");
  const Sent r = Send(*drive, Cdb10(0x28, 16777213, 3), DataDirection::kIn, 1536);
  EXPECT_EQ(r.Text(), "good 1536");
  EXPECT_EQ(std::vector<uint8_t>(r.data.begin(), r.data.begin() + 512), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(std::vector<uint8_t>(r.data.begin() + 512, r.data.end()), pattern);
  // VERIFY with BYTCHK compares with the data sent.
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.status, kScsiStatusGood);
  pattern[700] ^= 1;
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.sense[2], 0x0E);
  EXPECT_EQ(Send(*drive, Cdb10(0x28, 0, 0), DataDirection::kNone).Text(), "good 0");  // zero blocks
}

TEST(VirtualDrive, MediumChangeGivesOneUnitAttention) {
  auto drive = Drive("nodisc");
  drive->ChangeMedium(MakeMemoryMedium(2048, 100, false));
  // INQUIRY does not report it and does not clear it.
  EXPECT_EQ(Send(*drive, {0x12, 0, 0, 0, 36, 0}, DataDirection::kIn, 36).Text(), "good 36");
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "good 0"}));
  drive->ChangeMedium(nullptr);  // taking the disc out: unit attention, then medium not present
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "check 2/3Ah"}));
}

TEST(VirtualDrive, FaultInjection) {
  auto drive = Drive("dvdram");
  drive->InjectUnitAttention(2, 0x29);
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive), Tur(*drive)}), (Answers{"check 6/29h", "check 6/29h", "good 0"}));
  drive->InjectFailure(SenseCode{0x4, 0x44, 0x00}, 0x28);
  EXPECT_EQ((Answers{Tur(*drive), Read(*drive), Read(*drive)}), (Answers{"good 0", "check 4/44h", "good 2048"}));
  drive->InjectShortTransfer(100);
  const Sent shortRead = Send(*drive, Cdb10(0x28, 0, 1), DataDirection::kIn, 2048);
  EXPECT_EQ(shortRead.Text(), "good 100");
  EXPECT_EQ(shortRead.data[100], 0xEE);
  EXPECT_EQ(Read(*drive), "good 2048");
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

TEST(VirtualDrive, CommandLog) {
  auto drive = Drive("dvdram");
  for (uint32_t i = 0; i < 70; ++i) Send(*drive, Cdb10(0x2B, i, 0));
  EXPECT_EQ(drive->CommandCount(), 70u);
  const auto log = drive->LastCdbs();
  ASSERT_EQ(log.size(), 64u);
  EXPECT_EQ(GetBe32(log.front().data() + 2), 6u);
  EXPECT_EQ(drive->LastCdb(), Cdb10(0x2B, 69, 0));
  drive->ClearCommandLog();
  EXPECT_TRUE(drive->LastCdbs().empty());
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
  drive->ChangeMedium(MakeMemoryMedium(2048, 10, false));
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "good 0"}));
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

}  // namespace
}  // namespace orv

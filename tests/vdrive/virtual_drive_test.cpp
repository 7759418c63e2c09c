// The emulator as a SCSI target: what a real drive answers, sense byte for sense byte.
#include <gtest/gtest.h>

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

TEST(VirtualDrive, SenseAnswers) {
  struct Case {
    const char* name;
    const char* preset;
    std::vector<uint8_t> cdb;
    DataDirection direction;
    uint32_t length;
    uint8_t key, asc;
  };
  const std::vector<uint8_t> tur = {0, 0, 0, 0, 0, 0};
  const Case cases[] = {
      {"unsupported_opcode", "dvdram", {0xFF, 0, 0, 0, 0, 0}, DataDirection::kNone, 0, 0x5, 0x20},
      {"format_unit_not_supported", "dvdram", {0x04, 0, 0, 0, 0, 0}, DataDirection::kNone, 0, 0x5, 0x20},
      {"read_past_end", "dvdram", Cdb10(0x28, 2295104, 1), DataDirection::kIn, 2048, 0x5, 0x21},
      {"read_straddling_end", "dvdram", Cdb10(0x28, 2295103, 2), DataDirection::kIn, 4096, 0x5, 0x21},
      {"write_past_end", "hdd", Cdb10(0x2A, 16777216, 1), DataDirection::kOut, 512, 0x5, 0x21},
      {"seek_past_end", "hdd", Cdb10(0x2B, 16777216, 0), DataDirection::kNone, 0, 0x5, 0x21},
      {"verify_past_end", "dvdram", Cdb10(0x2F, 2295100, 5), DataDirection::kNone, 0, 0x5, 0x21},
      {"no_medium_tur", "nodisc", tur, DataDirection::kNone, 0, 0x2, 0x3A},
      {"no_medium_read_capacity", "nodisc", Cdb10(0x25, 0, 0), DataDirection::kIn, 8, 0x2, 0x3A},
      {"no_medium_read", "nodisc", Cdb10(0x28, 0, 1), DataDirection::kIn, 2048, 0x2, 0x3A},
      {"write_read_only", "dvdrom", Cdb10(0x2A, 0, 1), DataDirection::kOut, 2048, 0x7, 0x27},
      {"inquiry_unknown_vpd_page", "dvdram", {0x12, 0x01, 0x83, 0, 36, 0}, DataDirection::kIn, 36, 0x5, 0x24},
      {"inquiry_page_without_evpd", "dvdram", {0x12, 0x00, 0x80, 0, 36, 0}, DataDirection::kIn, 36, 0x5, 0x24},
      {"short_cdb", "dvdram", {0x28, 0, 0}, DataDirection::kIn, 2048, 0x5, 0x24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto drive = Drive(c.preset);
    const bool out = c.direction == DataDirection::kOut;
    const Sent s = Send(*drive, c.cdb, c.direction, out ? 0 : c.length, std::vector<uint8_t>(out ? c.length : 0, 1));
    EXPECT_EQ(s.outcome.status, kStatusCheckCondition);
    EXPECT_EQ(s.outcome.senseLength, 18u);
    EXPECT_EQ(s.outcome.transferred, 0u);
    // Fixed format, key, additional length 10, ASC, ASCQ.
    EXPECT_EQ((std::vector<uint8_t>{s.outcome.sense[0], s.outcome.sense[2], s.outcome.sense[7], s.outcome.sense[12],
                                    s.outcome.sense[13]}),
              (std::vector<uint8_t>{0x70, c.key, 10, c.asc, 0}));
  }
}

TEST(VirtualDrive, InquiryOfEachPreset) {
  struct Case {
    const char* preset;
    uint8_t type, rmb, version;
    const char* product;
  };
  const Case cases[] = {
      {"dvdram", 5, 0x80, 0, "VIRTUAL DVD-RAM "},
      {"dvdrom", 5, 0x80, 0, "VIRTUAL DVD-ROM "},
      {"hdd", 0, 0x00, 2, "VIRTUAL DISK    "},
      {"nodisc", 5, 0x80, 0, "VIRTUAL DVD-RAM "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.preset);
    auto drive = Drive(c.preset);
    const Sent s = Send(*drive, {0x12, 0, 0, 0, 96, 0}, DataDirection::kIn, 255);
    ASSERT_EQ(s.outcome.status, kStatusGood);
    EXPECT_EQ(s.outcome.transferred, 96u);
    // Type, RMB, version, additional length (96 bytes in all), nothing beyond what was moved.
    EXPECT_EQ((std::vector<uint8_t>{s.data[0], s.data[1], s.data[2], s.data[4], s.data[96]}),
              (std::vector<uint8_t>{c.type, c.rmb, c.version, 91, 0xEE}));
    EXPECT_EQ(std::string(s.data.begin() + 16, s.data.begin() + 32), c.product);
  }
}

TEST(VirtualDrive, AllocationLengthBoundsTheAnswer) {
  auto drive = Drive("dvdram");
  const Sent s = Send(*drive, {0x12, 0, 0, 0, 5, 0}, DataDirection::kIn, 40);
  EXPECT_EQ(s.outcome.transferred, 5u);
  EXPECT_EQ(s.data[5], 0xEE);
  const Sent serial = Send(*drive, {0x12, 1, 0x80, 0, 255, 0}, DataDirection::kIn, 255);
  ASSERT_EQ(serial.outcome.status, kStatusGood);
  EXPECT_EQ(serial.data[1], 0x80);
  EXPECT_EQ(serial.outcome.transferred, 4u + serial.data[3]);
  const Sent pages = Send(*drive, {0x12, 1, 0x00, 0, 255, 0}, DataDirection::kIn, 255);
  EXPECT_EQ(std::vector<uint8_t>(pages.data.begin(), pages.data.begin() + 6), (std::vector<uint8_t>{5, 0, 0, 2, 0x00, 0x80}));
}

TEST(VirtualDrive, ReadCapacityAnswersTheLastBlock) {
  struct Case {
    const char* preset;
    uint32_t last, length;
  };
  for (const Case& c : {Case{"dvdram", 2295103, 2048}, Case{"dvdrom", 4171711, 2048}, Case{"hdd", 16777215, 512}}) {
    SCOPED_TRACE(c.preset);
    auto drive = Drive(c.preset);
    const Sent s = Send(*drive, Cdb10(0x25, 0, 0), DataDirection::kIn, 8);
    ASSERT_EQ(s.outcome.status, kStatusGood);
    EXPECT_EQ(GetBe32(s.data.data()), c.last);
    EXPECT_EQ(GetBe32(s.data.data() + 4), c.length);
  }
  // More blocks than 32 bits can number: FFFFFFFFh, as SBC asks.
  VirtualDrive huge(*FindDrivePreset("hdd"), MakeMemoryMedium(512, 0x200000000ull, false));
  const Sent s = Send(huge, Cdb10(0x25, 0, 0), DataDirection::kIn, 8);
  EXPECT_EQ(GetBe32(s.data.data()), 0xFFFFFFFFu);
}

TEST(VirtualDrive, WritesReadBackAndUnwrittenBlocksAreZero) {
  auto drive = Drive("hdd");
  std::vector<uint8_t> pattern(1024);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i ^ 0x5A);
  const Sent w = Send(*drive, Cdb10(0x2A, 16777214, 2), DataDirection::kOut, 0, pattern);
  ASSERT_EQ(w.outcome.status, kStatusGood);
  EXPECT_EQ(w.outcome.transferred, 1024u);
  const Sent r = Send(*drive, Cdb10(0x28, 16777213, 3), DataDirection::kIn, 1536);
  ASSERT_EQ(r.outcome.status, kStatusGood);
  EXPECT_EQ(std::vector<uint8_t>(r.data.begin(), r.data.begin() + 512), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(std::vector<uint8_t>(r.data.begin() + 512, r.data.end()), pattern);
  // VERIFY with BYTCHK compares with the data sent.
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.status,
            kStatusGood);
  pattern[700] ^= 1;
  const Sent miscompare = Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern);
  EXPECT_EQ(miscompare.outcome.sense[2], 0x0E);
  // Zero blocks: nothing moves, GOOD.
  EXPECT_EQ(Send(*drive, Cdb10(0x28, 0, 0), DataDirection::kNone).outcome.status, kStatusGood);
}

TEST(VirtualDrive, MediumChangeGivesOneUnitAttention) {
  auto drive = Drive("nodisc");
  drive->ChangeMedium(MakeMemoryMedium(2048, 100, false));
  // INQUIRY does not report it and does not clear it.
  EXPECT_EQ(Send(*drive, {0x12, 0, 0, 0, 36, 0}, DataDirection::kIn, 36).outcome.status, kStatusGood);
  const Sent first = Send(*drive, {0, 0, 0, 0, 0, 0}, DataDirection::kNone);
  EXPECT_EQ(first.outcome.status, kStatusCheckCondition);
  EXPECT_EQ(first.outcome.sense[2], 0x6);
  EXPECT_EQ(first.outcome.sense[12], 0x28);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}, DataDirection::kNone).outcome.status, kStatusGood);
  // Taking the disc out: unit attention, then medium not present.
  drive->ChangeMedium(nullptr);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.sense[12], 0x28);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.sense[12], 0x3A);
}

TEST(VirtualDrive, FaultInjection) {
  auto drive = Drive("dvdram");
  drive->InjectUnitAttention(2, 0x29);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.sense[12], 0x29);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.sense[12], 0x29);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.status, kStatusGood);

  drive->InjectFailure(SenseCode{0x4, 0x44, 0x00}, 0x28);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.status, kStatusGood);  // other opcode
  const Sent failed = Send(*drive, Cdb10(0x28, 0, 1), DataDirection::kIn, 2048);
  EXPECT_EQ(failed.outcome.sense[2], 0x4);
  EXPECT_EQ(failed.outcome.sense[12], 0x44);
  EXPECT_EQ(Send(*drive, Cdb10(0x28, 0, 1), DataDirection::kIn, 2048).outcome.status, kStatusGood);

  drive->InjectShortTransfer(100);
  const Sent shortRead = Send(*drive, Cdb10(0x28, 0, 1), DataDirection::kIn, 2048);
  EXPECT_EQ(shortRead.outcome.status, kStatusGood);
  EXPECT_EQ(shortRead.outcome.transferred, 100u);
  EXPECT_EQ(shortRead.data[100], 0xEE);
  EXPECT_EQ(Send(*drive, Cdb10(0x28, 0, 1), DataDirection::kIn, 2048).outcome.transferred, 2048u);
}

TEST(VirtualDrive, RequestSenseReportsTheStandingCondition) {
  for (const char* preset : {"dvdram", "nodisc"}) {
    SCOPED_TRACE(preset);
    auto drive = Drive(preset);
    const Sent s = Send(*drive, {0x03, 0, 0, 0, 252, 0}, DataDirection::kIn, 252);
    ASSERT_EQ(s.outcome.status, kStatusGood);
    EXPECT_EQ(s.outcome.transferred, 18u);
    EXPECT_EQ(s.data[0], 0x70);
    EXPECT_EQ(s.data[7], 10);
    EXPECT_EQ(s.data[12], drive->HasMedium() ? 0x00 : 0x3A);
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

TEST(VirtualDrive, HandlersAndOverridesExtendTheDrive) {
  auto drive = Drive("dvdram");
  drive->SetHandler(0x46, [](VirtualDrive&, CommandContext& c) {
    const uint8_t header[8] = {0, 0, 0, 4, 0, 0, 0, 0x12};
    c.SendData(header, GetBe16(c.cdb.data() + 7));
  });
  const Sent config = Send(*drive, {0x46, 0, 0, 0, 0, 0, 0, 0, 8, 0}, DataDirection::kIn, 64);
  EXPECT_EQ(config.outcome.transferred, 8u);
  EXPECT_EQ(config.data[7], 0x12);
  // Fixed answer bytes win over the handler.
  drive->SetAnswerOverride(0x12, {1, 2, 3});
  const Sent inquiry = Send(*drive, {0x12, 0, 0, 0, 36, 0}, DataDirection::kIn, 36);
  EXPECT_EQ(inquiry.outcome.transferred, 3u);
  EXPECT_EQ(inquiry.data[0], 1);
  // A hook sees everything first, and may use the drive's own API (the drive's lock is held):
  // here it takes the disc out.
  drive->SetAnswerHook([](VirtualDrive& d, CommandContext&) {
    if (d.CommandCount() == 1) d.ChangeMedium(nullptr);
    return false;
  });
  drive->ClearCommandLog();
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.sense[12], 0x3A);
  EXPECT_FALSE(drive->HasMedium());
  drive->ChangeMedium(MakeMemoryMedium(2048, 10, false));
  drive->ClearAnswerOverrides();
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.sense[12], 0x28);
  EXPECT_EQ(Send(*drive, {0, 0, 0, 0, 0, 0}).outcome.status, kStatusGood);
  EXPECT_EQ(Send(*drive, {0x12, 0, 0, 0, 36, 0}, DataDirection::kIn, 36).outcome.transferred, 36u);
  // Removing a handler makes the opcode unsupported.
  drive->SetHandler(0x2B, nullptr);
  EXPECT_EQ(Send(*drive, Cdb10(0x2B, 0, 0)).outcome.sense[12], 0x20);
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

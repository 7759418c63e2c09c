// The command set against a scripted port: CDBs and request headers, the unit-attention reissue, what callers get.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "device/fake_port.h"
#include "device/scsi_commands.h"

namespace orv::test {
namespace {

constexpr uint8_t kPath = 1, kTarget = 2, kLun = 3;  // LUN 3 puts 60h in CDB byte 1
constexpr UnitAddress kUnit{kPath, kTarget, kLun};

enum class Form { kBuffered, kDirect };
struct CdbCase {
  const char* name;
  std::function<int(DeviceHandle&, uint8_t*)> send;
  std::vector<uint8_t> cdb;
  Form form;
  uint8_t dataIn;
  uint32_t transferLength, outLength;  // outLength: buffered form, output length asked of the driver
};

// A command as a case sends it: `d` the handle, `b` a page-aligned buffer, the address kUnit.
#define SEND(fn, ...) \
  [](DeviceHandle& d, [[maybe_unused]] uint8_t* b) { return fn(d, kUnit __VA_OPT__(, ) __VA_ARGS__); }

const std::vector<CdbCase>& CdbCases() {
  constexpr uint32_t kData = kRequestDataOffset;
  using enum Form;
  static const std::vector<CdbCase> cases = {
      {"inquiry_standard", SEND(Inquiry, -1, 40, b), {0x12, 0x60, 0x00, 0x00, 40, 0x00}, kBuffered, 1, 40, kData + 40},
      {"inquiry_evpd_page_80", SEND(Inquiry, 0x80, 255, b), {0x12, 0x61, 0x80, 0x00, 0xFF, 0x00}, kBuffered, 1, 255,
       kData + 255},
      {"test_unit_ready", SEND(TestUnitReady), {0x00, 0x60, 0, 0, 0, 0}, kBuffered, 1, 0, kData},
      {"mode_sense_255_is_six_bytes", SEND(ModeSense, true, 1, 0x2A, 255, b), {0x1A, 0x68, 0x6A, 0x00, 0xFF, 0x00},
       kDirect, 1, 255, 0},
      {"mode_sense_256_is_ten_bytes", SEND(ModeSense, false, 0, 0x3F, 256, b),
       {0x5A, 0x60, 0x3F, 0, 0, 0, 0, 0x01, 0x00, 0}, kDirect, 1, 256, 0},
      {"mode_sense_masks_page_control_and_code", SEND(ModeSense, false, 7, 0xFF, 12, b),
       {0x1A, 0x60, 0xFF, 0x00, 12, 0x00}, kDirect, 1, 12, 0},
      {"read_capacity", SEND(ReadCapacity, 8, b), {0x25, 0x60, 0, 0, 0, 0, 0, 0, 0, 0}, kBuffered, 1, 8, kData + 8},
      {"read10", SEND(Read10, 0x12345678, 0x0102, 0x0102 * 2048, b),
       {0x28, 0x60, 0x12, 0x34, 0x56, 0x78, 0, 0x01, 0x02, 0}, kDirect, 1, 0x0102 * 2048, 0},
      {"write10_is_data_out", SEND(Write10, 0xFFFFFFFF, 0xFFFF, 512, b),
       {0x2A, 0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0}, kDirect, 0, 512, 0},
      {"seek10", SEND(Seek10, 0xAABBCCDD), {0x2B, 0x60, 0xAA, 0xBB, 0xCC, 0xDD, 0, 0, 0, 0}, kBuffered, 1, 0, kData},
      {"verify10_asks_whole_request_back", SEND(Verify10, 5, 16), {0x2F, 0x60, 0, 0, 0, 5, 0, 0, 16, 0}, kBuffered,
       1, 0, kRequestSize},
      {"get_configuration", SEND(GetConfiguration, 2, 0x0108, 0x1000, b),
       {0x46, 0x62, 0x01, 0x08, 0, 0, 0, 0x10, 0x00, 0}, kDirect, 1, 0x1000, 0},
      {"read_dvd_structure", SEND(ReadDvdStructure, 0x11223344, 0x0D, 1, 0x800, b),
       {0xAD, 0x60, 0x11, 0x22, 0x33, 0x44, 0x01, 0x0D, 0x08, 0x00, 0x00, 0x00}, kDirect, 1, 0x800, 0},
  };
  return cases;
}

TEST(CommandSet, EachCommandSendsItsCdbAndHeader) {
  for (const CdbCase& c : CdbCases()) {
    SCOPED_TRACE(c.name);
    FakeDevice f;
    ASSERT_GE(c.send(f.device, f.buffer.data()), 0);
    ASSERT_EQ(f.port->calls.size(), 1u);
    const FakeCall& call = f.port->calls[0];
    const ScsiPassThroughHeader& h = call.header;
    const bool direct = c.form == Form::kDirect;
    EXPECT_EQ(call.code, direct ? kIoctlScsiPassThroughDirect : kIoctlScsiPassThrough);
    EXPECT_EQ(call.inLength, kRequestHeaderSize);
    EXPECT_EQ(call.outLength, direct ? kRequestDataOffset : c.outLength);
    // length, status, path, target, LUN, CDB length, sense length and offset, direction, transfer, timeout (s)
    EXPECT_EQ((std::vector<uint64_t>{h.length, h.scsiStatus, h.pathId, h.targetId, h.lun, h.cdbLength,
                                     h.senseInfoLength, h.senseInfoOffset, h.dataIn, h.dataTransferLength,
                                     h.timeOutValue}),
              (std::vector<uint64_t>{kRequestHeaderSize, 0, kPath, kTarget, kLun, c.cdb.size(), 14,
                                     kRequestSenseOffset, c.dataIn, c.transferLength, 10}));
    EXPECT_EQ(h.dataBuffer, direct ? reinterpret_cast<uintptr_t>(f.buffer.data()) : kRequestDataOffset);
    std::vector<uint8_t> cdb16 = c.cdb;
    cdb16.resize(16, 0);
    EXPECT_EQ(std::vector<uint8_t>(h.cdb, h.cdb + 16), cdb16);
  }
}

// A unit attention goes out again, unchanged, at most kMaxUnitAttentionReissues times; anything else fails at once.
TEST(CommandSet, UnitAttentionIsReissuedAndEverythingElseFails) {
  using enum ScsiOutcome;
  const struct {
    const char* name;
    std::vector<FakeReply> replies;
    bool succeeds;
    size_t calls;
    ScsiOutcome last;  // the handle's LastOutcome afterwards
  } cases[] = {
      {"unit_attention_28h_twice", {CheckCondition(0x6, 0x28), CheckCondition(0x6, 0x28)}, true, 3, kGood},
      {"unit_attention_forever", std::vector<FakeReply>(100, CheckCondition(0x6, 0x28)), false,
       kMaxUnitAttentionReissues + 1, kUnitAttention},
      {"medium_not_present", {CheckCondition(0x2, 0x3A)}, false, 1, kNoMedium},
      {"system_call_fails", {Failure()}, false, 1, kTransportError},
      // CHECK CONDITION without sense after a unit attention: the earlier 28h must not linger.
      {"stale_sense", {CheckCondition(0x6, 0x28), Status(2)}, false, 2, kOtherFailure},
  };
  for (const auto& c : cases) {
    for (const CdbCase& command : CdbCases()) {
      SCOPED_TRACE(std::string(c.name) + " " + command.name);
      FakeDevice f;
      f.port->replies.assign(c.replies.begin(), c.replies.end());
      const int rc = command.send(f.device, f.buffer.data());
      EXPECT_TRUE(c.succeeds ? rc >= 0 : rc == -1) << rc;
      ASSERT_EQ(f.port->calls.size(), c.calls);
      for (const FakeCall& call : f.port->calls) EXPECT_EQ(call.in, f.port->calls[0].in);
      EXPECT_EQ(static_cast<int>(f.device.LastOutcome()), static_cast<int>(c.last));
    }
  }
}

TEST(CommandSet, BufferedOutputsHoldExactlyTheAnswerAndOnlyOnSuccess) {
  std::vector<uint8_t> answer(64), expected(48, 0xEE);  // nothing beyond the allocation length
  std::iota(answer.begin(), answer.end(), 1);
  std::copy(answer.begin(), answer.begin() + 40, expected.begin());
  FakeReply refused = CheckCondition(0x2, 0x3A);
  refused.data = answer;
  for (const FakeReply& reply : {refused, Failure()}) {
    FakeDevice f;
    f.port->replies = {reply, reply};
    uint8_t out[48];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(Inquiry(f.device, kUnit, -1, 40, out), -1);
    EXPECT_EQ(ReadCapacity(f.device, kUnit, 8, out), -1);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 48), std::vector<uint8_t>(48, 0xEE));
    f.port->replies = {Data(answer)};
    ASSERT_EQ(Inquiry(f.device, kUnit, -1, 40, out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 48), expected);
  }
}

// The last LBA the drive answers becomes a count; FFFFFFFFh wraps to 0 (more than 32 bits).
TEST(CommandSet, ReadCapacityGivesBlockCount) {
  const std::vector<uint8_t> cases[][2] = {{{0, 0, 0, 0xFF, 0, 0, 2, 0}, {0, 0, 1, 0, 0, 0, 2, 0}},
                                           {{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}, {0, 0, 0, 0, 0, 0, 2, 0}}};
  for (const auto& [answer, expected] : cases) {
    FakeDevice f;
    f.port->replies = {Data(answer)};
    uint8_t out[8] = {};
    ASSERT_EQ(ReadCapacity(f.device, kUnit, 8, out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), expected);
  }
}

TEST(CommandSet, ShortTransfersAreReportedAsCounts) {
  FakeDevice f;
  // A driver never moves more than asked; if one says so, the count stays within the buffer.
  f.port->replies = {Data({}, 4096), Data({}, 0), Data({}, 100000)};
  EXPECT_EQ(Read10(f.device, kUnit, 0, 4, 8192, f.buffer.data()), 4096);
  EXPECT_EQ(Write10(f.device, kUnit, 0, 4, 8192, f.buffer.data()), 0);
  EXPECT_EQ(Read10(f.device, kUnit, 0, 4, 8192, f.buffer.data()), 8192);
}

TEST(CommandSet, AddressesAndCountsBeyondTheCdbAreRefused) {
  FakeDevice f;
  uint8_t* b = f.buffer.data();
  const std::pair<const char*, std::function<int()>> cases[] = {
      {"read_lba_2^32", [&] { return Read10(f.device, {}, 0x100000000ull, 1, 2048, b); }},
      {"read_blocks_2^16", [&] { return Read10(f.device, {}, 0, 0x10000, 2048, b); }},
      {"write_blocks_2^16", [&] { return Write10(f.device, {}, 0, 0x10000, 2048, b); }},
      {"seek_lba_2^32", [&] { return Seek10(f.device, {}, 0x100000000ull); }},
      {"verify_lba_2^32", [&] { return Verify10(f.device, {}, 0x100000000ull, 1); }},
      {"verify_blocks_2^16", [&] { return Verify10(f.device, {}, 0, 0x10000); }},
      {"inquiry_256", [&] { return Inquiry(f.device, {}, -1, 256, b); }},
      {"read_capacity_beyond_area", [&] { return ReadCapacity(f.device, {}, kRequestDataSize + 1, b); }},
      {"mode_sense_64k", [&] { return ModeSense(f.device, {}, false, 0, 0x3F, 0x10000, b); }},
      {"get_configuration_64k", [&] { return GetConfiguration(f.device, {}, 0, 0, 0x10000, b); }},
      {"read_dvd_structure_64k", [&] { return ReadDvdStructure(f.device, {}, 0, 0, 0, 0x10000, b); }},
  };
  for (const auto& [name, send] : cases) EXPECT_EQ(send(), -1) << name;
  EXPECT_TRUE(f.port->calls.empty());
}

TEST(CommandSet, UnalignedDirectBuffersTravelThroughAnAlignedCopy) {
  FakeDevice f;
  f.port->replies = {Data({1, 2, 3, 4, 5}, 5)};
  uint8_t* unaligned = f.buffer.data() + 1;
  std::memset(unaligned, 0xEE, 16);
  ASSERT_EQ(Read10(f.device, {}, 0, 1, 16, unaligned), 5);
  EXPECT_EQ(std::vector<uint8_t>(unaligned, unaligned + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0xEE}));
  // Data out: the copy carries the caller's bytes to the drive.
  uint8_t* out = f.buffer.data() + 100;
  for (int i = 0; i < 8; ++i) out[i] = uint8_t(0xA0 + i);
  ASSERT_EQ(Write10(f.device, {}, 0, 1, 8, out), 8);
  EXPECT_EQ(f.port->calls[1].dataOut, std::vector<uint8_t>(out, out + 8));
  for (const FakeCall& call : f.port->calls) EXPECT_EQ(call.header.dataBuffer % PageBuffer::kAlignment, 0u);
}

}  // namespace
}  // namespace orv::test

// The command set against a scripted port: CDBs byte for byte, the request header each command
// sends, the reissue on unit attention and its bound, and what callers get back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/fake_port.h"
#include "device/scsi_commands.h"

namespace orv::test {
namespace {

constexpr uint8_t kPath = 1, kTarget = 2, kLun = 3;  // LUN 3 puts 60h in CDB byte 1

struct Fixture {
  FakePort* port = new FakePort;
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
  PageBuffer buffer{65536};
  Fixture() { EXPECT_EQ(device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0); }
};

enum class Form { kBuffered, kDirect };

struct CdbCase {
  const char* name;
  std::function<int(DeviceHandle&, uint8_t*)> send;
  std::vector<uint8_t> cdb;
  Form form;
  uint8_t dataIn;
  uint32_t transferLength;
  uint32_t outLength;  // buffered form: output length asked of the driver
};

const std::vector<CdbCase>& CdbCases() {
  static const std::vector<CdbCase> cases = {
      {"inquiry_standard",
       [](DeviceHandle& d, uint8_t* b) { return Inquiry(d, kPath, kTarget, kLun, -1, 40, b); },
       {0x12, 0x60, 0x00, 0x00, 40, 0x00}, Form::kBuffered, 1, 40, kRequestDataOffset + 40},
      {"inquiry_evpd_page_80",
       [](DeviceHandle& d, uint8_t* b) { return Inquiry(d, kPath, kTarget, kLun, 0x80, 255, b); },
       {0x12, 0x61, 0x80, 0x00, 0xFF, 0x00}, Form::kBuffered, 1, 255, kRequestDataOffset + 255},
      {"inquiry_evpd_page_0",
       [](DeviceHandle& d, uint8_t* b) { return Inquiry(d, kPath, kTarget, kLun, 0, 4, b); },
       {0x12, 0x61, 0x00, 0x00, 4, 0x00}, Form::kBuffered, 1, 4, kRequestDataOffset + 4},
      {"test_unit_ready",
       [](DeviceHandle& d, uint8_t*) { return TestUnitReady(d, kPath, kTarget, kLun); },
       {0x00, 0x60, 0, 0, 0, 0}, Form::kBuffered, 1, 0, kRequestDataOffset},
      {"mode_sense_255_is_six_bytes",
       [](DeviceHandle& d, uint8_t* b) { return ModeSense(d, kPath, kTarget, kLun, true, 1, 0x2A, 255, b); },
       {0x1A, 0x68, 0x6A, 0x00, 0xFF, 0x00}, Form::kDirect, 1, 255, 0},
      {"mode_sense_256_is_ten_bytes",
       [](DeviceHandle& d, uint8_t* b) { return ModeSense(d, kPath, kTarget, kLun, false, 0, 0x3F, 256, b); },
       {0x5A, 0x60, 0x3F, 0, 0, 0, 0, 0x01, 0x00, 0}, Form::kDirect, 1, 256, 0},
      {"mode_sense_masks_page_control_and_code",
       [](DeviceHandle& d, uint8_t* b) { return ModeSense(d, kPath, kTarget, kLun, false, 7, 0xFF, 12, b); },
       {0x1A, 0x60, 0xFF, 0x00, 12, 0x00}, Form::kDirect, 1, 12, 0},
      {"read_capacity",
       [](DeviceHandle& d, uint8_t* b) { return ReadCapacity(d, kPath, kTarget, kLun, 8, b); },
       {0x25, 0x60, 0, 0, 0, 0, 0, 0, 0, 0}, Form::kBuffered, 1, 8, kRequestDataOffset + 8},
      {"read10",
       [](DeviceHandle& d, uint8_t* b) { return Read10(d, kPath, kTarget, kLun, 0x12345678, 0x0102, 0x0102 * 2048, b); },
       {0x28, 0x60, 0x12, 0x34, 0x56, 0x78, 0, 0x01, 0x02, 0}, Form::kDirect, 1, 0x0102 * 2048, 0},
      {"write10_is_data_out",
       [](DeviceHandle& d, uint8_t* b) { return Write10(d, kPath, kTarget, kLun, 0xFFFFFFFF, 0xFFFF, 512, b); },
       {0x2A, 0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0}, Form::kDirect, 0, 512, 0},
      {"seek10",
       [](DeviceHandle& d, uint8_t*) { return Seek10(d, kPath, kTarget, kLun, 0xAABBCCDD); },
       {0x2B, 0x60, 0xAA, 0xBB, 0xCC, 0xDD, 0, 0, 0, 0}, Form::kBuffered, 1, 0, kRequestDataOffset},
      {"verify10_asks_whole_request_back",
       [](DeviceHandle& d, uint8_t*) { return Verify10(d, kPath, kTarget, kLun, 5, 16); },
       {0x2F, 0x60, 0, 0, 0, 5, 0, 0, 16, 0}, Form::kBuffered, 1, 0, kRequestSize},
      {"get_configuration",
       [](DeviceHandle& d, uint8_t* b) { return GetConfiguration(d, kPath, kTarget, kLun, 2, 0x0108, 0x1000, b); },
       {0x46, 0x62, 0x01, 0x08, 0, 0, 0, 0x10, 0x00, 0}, Form::kDirect, 1, 0x1000, 0},
      {"read_dvd_structure",
       [](DeviceHandle& d, uint8_t* b) { return ReadDvdStructure(d, kPath, kTarget, kLun, 0x11223344, 0x0D, 1, 0x800, b); },
       {0xAD, 0x60, 0x11, 0x22, 0x33, 0x44, 0x01, 0x0D, 0x08, 0x00, 0x00, 0x00}, Form::kDirect, 1, 0x800, 0},
  };
  return cases;
}

TEST(CommandSet, EachCommandSendsItsCdbAndHeader) {
  for (const CdbCase& c : CdbCases()) {
    SCOPED_TRACE(c.name);
    Fixture f;
    ASSERT_GE(c.send(f.device, f.buffer.data()), 0);
    ASSERT_EQ(f.port->calls.size(), 1u);
    const FakeCall& call = f.port->calls[0];
    const ScsiPassThroughHeader& h = call.header;
    EXPECT_EQ(call.code, c.form == Form::kDirect ? kIoctlScsiPassThroughDirect : kIoctlScsiPassThrough);
    EXPECT_EQ(call.inLength, kRequestHeaderSize);
    EXPECT_EQ(call.outLength, c.form == Form::kDirect ? kRequestDataOffset : c.outLength);
    EXPECT_EQ(h.length, kRequestHeaderSize);
    EXPECT_EQ(h.scsiStatus, 0);
    EXPECT_EQ(h.pathId, kPath);
    EXPECT_EQ(h.targetId, kTarget);
    EXPECT_EQ(h.lun, kLun);
    EXPECT_EQ(h.cdbLength, c.cdb.size());
    EXPECT_EQ(h.senseInfoLength, 14);
    EXPECT_EQ(h.senseInfoOffset, kRequestSenseOffset);
    EXPECT_EQ(h.dataIn, c.dataIn);
    EXPECT_EQ(h.dataTransferLength, c.transferLength);
    EXPECT_EQ(h.timeOutValue, 10u);
    if (c.form == Form::kDirect)
      EXPECT_EQ(h.dataBuffer, reinterpret_cast<uintptr_t>(f.buffer.data()));
    else
      EXPECT_EQ(h.dataBuffer, kRequestDataOffset);
    std::vector<uint8_t> cdb16 = c.cdb;
    cdb16.resize(16, 0);
    EXPECT_EQ(std::vector<uint8_t>(h.cdb, h.cdb + 16), cdb16);
  }
}

// Every command through one call, for the behaviours that hold for all of them.
std::vector<std::pair<const char*, std::function<int(DeviceHandle&, uint8_t*)>>> AllCommands() {
  std::vector<std::pair<const char*, std::function<int(DeviceHandle&, uint8_t*)>>> all;
  for (const CdbCase& c : CdbCases()) all.emplace_back(c.name, c.send);
  return all;
}

TEST(CommandSet, UnitAttentionIsReissuedUnchanged) {
  for (uint8_t asc : {uint8_t{0x28}, uint8_t{0x23}}) {
    for (const auto& [name, send] : AllCommands()) {
      SCOPED_TRACE(std::string(name) + " asc " + std::to_string(asc));
      Fixture f;
      f.port->replies = {CheckCondition(Sense(0x6, asc)), CheckCondition(Sense(0x6, asc))};
      EXPECT_GE(send(f.device, f.buffer.data()), 0);
      ASSERT_EQ(f.port->calls.size(), 3u);
      EXPECT_EQ(f.port->calls[1].in, f.port->calls[0].in);
      EXPECT_EQ(f.port->calls[2].in, f.port->calls[0].in);
    }
  }
}

TEST(CommandSet, UnitAttentionForeverFailsAfterTheBound) {
  Fixture f;
  for (int i = 0; i < 100; ++i) f.port->replies.push_back(CheckCondition(Sense(0x6, 0x28)));
  EXPECT_EQ(TestUnitReady(f.device, kPath, kTarget, kLun), -1);
  EXPECT_EQ(f.port->calls.size(), size_t(kMaxUnitAttentionReissues + 1));
}

TEST(CommandSet, OtherCheckConditionsFailAfterOneAttempt) {
  struct Case {
    const char* name;
    FakeReply reply;
  };
  const Case cases[] = {
      {"medium_not_present", CheckCondition(Sense(0x2, 0x3A))},
      {"power_on_reset_29h", CheckCondition(Sense(0x6, 0x29))},
      {"asc_28h_but_short_sense", CheckCondition(Sense(0x6, 0x28, 9))},
      {"busy_status", WithStatus(0x08)},
      {"reservation_conflict", WithStatus(0x18)},
      {"system_call_fails", Failure()},
  };
  for (const Case& c : cases) {
    for (const auto& [name, send] : AllCommands()) {
      SCOPED_TRACE(std::string(c.name) + " " + name);
      Fixture f;
      f.port->replies = {c.reply};
      EXPECT_EQ(send(f.device, f.buffer.data()), -1);
      EXPECT_EQ(f.port->calls.size(), 1u);
    }
  }
}

TEST(CommandSet, StaleSenseIsNotTakenForANewUnitAttention) {
  // CHECK CONDITION without sense after a unit attention: the sense area must not still hold
  // the earlier 28h.
  Fixture f;
  f.port->replies = {CheckCondition(Sense(0x6, 0x28)), WithStatus(2)};
  EXPECT_EQ(TestUnitReady(f.device, kPath, kTarget, kLun), -1);
  EXPECT_EQ(f.port->calls.size(), 2u);
}

TEST(CommandSet, BufferedOutputsUntouchedOnFailure) {
  for (const FakeReply& reply : {[] { FakeReply r = CheckCondition(Sense(0x2, 0x3A)); r.data = {1, 2, 3, 4, 5, 6, 7, 8}; return r; }(),
                                 Failure()}) {
    Fixture f;
    f.port->replies = {reply, reply};
    uint8_t out[40];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(Inquiry(f.device, kPath, kTarget, kLun, -1, 40, out), -1);
    EXPECT_EQ(ReadCapacity(f.device, kPath, kTarget, kLun, 8, out), -1);
    for (uint8_t b : out) ASSERT_EQ(b, 0xEE);
  }
}

TEST(CommandSet, ReadCapacityGivesBlockCount) {
  struct Case {
    std::vector<uint8_t> answer;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {{0x00, 0x23, 0x05, 0x3F, 0x00, 0x00, 0x08, 0x00}, {0x00, 0x23, 0x05, 0x40, 0x00, 0x00, 0x08, 0x00}},
      {{0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x02, 0x00}, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00}},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00}},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.port->replies = {WithData(c.answer)};
    uint8_t out[8] = {};
    ASSERT_EQ(ReadCapacity(f.device, kPath, kTarget, kLun, 8, out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), c.expected);
  }
}

TEST(CommandSet, InquiryCopiesExactlyTheAllocationLength) {
  Fixture f;
  std::vector<uint8_t> answer(64);
  for (size_t i = 0; i < answer.size(); ++i) answer[i] = uint8_t(i + 1);
  f.port->replies = {WithData(answer)};
  uint8_t out[48];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(Inquiry(f.device, kPath, kTarget, kLun, -1, 40, out), 0);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(out[i], i + 1);
  for (int i = 40; i < 48; ++i) ASSERT_EQ(out[i], 0xEE);
}

TEST(CommandSet, ShortTransfersAreReportedAsCounts) {
  Fixture f;
  f.port->replies = {Moved(4096), Moved(0)};
  EXPECT_EQ(Read10(f.device, kPath, kTarget, kLun, 0, 4, 8192, f.buffer.data()), 4096);
  EXPECT_EQ(Write10(f.device, kPath, kTarget, kLun, 0, 4, 8192, f.buffer.data()), 0);
  // A driver never moves more than asked; if one says so, the count stays within the buffer.
  f.port->replies = {Moved(100000)};
  EXPECT_EQ(Read10(f.device, kPath, kTarget, kLun, 0, 4, 8192, f.buffer.data()), 8192);
}

TEST(CommandSet, AddressesAndCountsBeyondTheCdbAreRefused) {
  Fixture f;
  uint8_t* b = f.buffer.data();
  const std::pair<const char*, std::function<int()>> cases[] = {
      {"read_lba_2^32", [&] { return Read10(f.device, 0, 0, 0, 0x100000000ull, 1, 2048, b); }},
      {"read_blocks_2^16", [&] { return Read10(f.device, 0, 0, 0, 0, 0x10000, 2048, b); }},
      {"write_lba_2^32", [&] { return Write10(f.device, 0, 0, 0, 0x100000000ull, 1, 2048, b); }},
      {"write_lba_max", [&] { return Write10(f.device, 0, 0, 0, ~0ull, 1, 2048, b); }},
      {"write_blocks_2^16", [&] { return Write10(f.device, 0, 0, 0, 0, 0x10000, 2048, b); }},
      {"seek_lba_2^32", [&] { return Seek10(f.device, 0, 0, 0, 0x100000000ull); }},
      {"verify_lba_2^32", [&] { return Verify10(f.device, 0, 0, 0, 0x100000000ull, 1); }},
      {"verify_blocks_2^16", [&] { return Verify10(f.device, 0, 0, 0, 0, 0x10000); }},
      {"inquiry_256", [&] { return Inquiry(f.device, 0, 0, 0, -1, 256, b); }},
      {"read_capacity_beyond_area", [&] { return ReadCapacity(f.device, 0, 0, 0, kRequestDataSize + 1, b); }},
      {"mode_sense_64k", [&] { return ModeSense(f.device, 0, 0, 0, false, 0, 0x3F, 0x10000, b); }},
      {"get_configuration_64k", [&] { return GetConfiguration(f.device, 0, 0, 0, 0, 0, 0x10000, b); }},
      {"read_dvd_structure_64k", [&] { return ReadDvdStructure(f.device, 0, 0, 0, 0, 0, 0, 0x10000, b); }},
  };
  for (const auto& [name, send] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(send(), -1);
  }
  EXPECT_TRUE(f.port->calls.empty());
}

TEST(CommandSet, UnalignedDirectBuffersTravelThroughAnAlignedCopy) {
  Fixture f;
  f.port->replies = {WithData({1, 2, 3, 4, 5}, 5)};
  uint8_t* unaligned = f.buffer.data() + 1;
  std::memset(unaligned, 0xEE, 16);
  ASSERT_EQ(Read10(f.device, 0, 0, 0, 0, 1, 16, unaligned), 5);
  EXPECT_EQ(f.port->calls[0].header.dataBuffer % PageBuffer::kAlignment, 0u);
  EXPECT_EQ(std::vector<uint8_t>(unaligned, unaligned + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0xEE}));

  // Data out: the copy carries the caller's bytes to the drive.
  uint8_t* out = f.buffer.data() + 100;
  for (int i = 0; i < 8; ++i) out[i] = uint8_t(0xA0 + i);
  ASSERT_EQ(Write10(f.device, 0, 0, 0, 0, 1, 8, out), 8);
  EXPECT_EQ(f.port->calls[1].header.dataBuffer % PageBuffer::kAlignment, 0u);
  EXPECT_EQ(f.port->calls[1].dataOut, std::vector<uint8_t>(out, out + 8));
}

TEST(CommandSet, ClosedHandleFailsWithoutACall) {
  FakePort* port = new FakePort;
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
  uint8_t out[8];
  EXPECT_EQ(TestUnitReady(device, 0, 0, 0), -1);
  EXPECT_EQ(ReadCapacity(device, 0, 0, 0, 8, out), -1);
  EXPECT_TRUE(port->calls.empty());
}

}  // namespace
}  // namespace orv::test

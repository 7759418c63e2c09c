// The driver's rules both non-Windows ports carry requests by: what comes back in the header
// and how many bytes of the system buffer are given back, which the command set's callers and
// the DeviceHandle results depend on.
#include "device/ports/pass_through_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/fake_port.h"
#include "device/ports/tracing_port.h"

namespace orv::test {
namespace {

TEST(PassThroughDriver, BytesReturnedEndAtTheDataInElseTheSenseElseTheHeader) {
  const struct {
    const char* name;
    bool direct;
    uint8_t dataIn;
    uint32_t asked, moved, sense;
    uint32_t returned, transferLength, senseLength;
  } cases[] = {
      {"buffered_data_in", false, kScsiDataIn, 8, 8, 0, kRequestDataOffset + 8, 8, 0},
      {"buffered_short_data_in", false, kScsiDataIn, 8, 5, 0, kRequestDataOffset + 5, 5, 0},
      {"moved_is_never_more_than_asked", false, kScsiDataIn, 8, 100, 0, kRequestDataOffset + 8, 8, 0},
      {"unspecified_direction_reads", false, kScsiDataUnspecified, 8, 8, 0, kRequestDataOffset + 8, 8, 0},
      {"data_in_and_sense", false, kScsiDataIn, 8, 2, 14, kRequestDataOffset + 2, 2, 14},
      {"nothing_moved_sense_returned", false, kScsiDataIn, 8, 0, 14, kRequestSenseOffset + 14, 0, 14},
      {"sense_cut_to_the_room", false, kScsiDataIn, 0, 0, 18, kRequestSenseOffset + 14, 0, 14},
      {"buffered_data_out", false, kScsiDataOut, 8, 8, 0, kRequestHeaderSize, 8, 0},
      {"direct_data_in_stays_in_the_callers_buffer", true, kScsiDataIn, 8, 8, 0, kRequestHeaderSize, 8, 0},
      {"direct_with_sense", true, kScsiDataIn, 8, 0, 14, kRequestSenseOffset + 14, 0, 14},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PassThroughRequest r = Request(0x28, 10, c.asked, c.dataIn);
    auto* system = reinterpret_cast<uint8_t*>(&r);
    EXPECT_EQ(CompletePassThrough(system, c.direct, 0x02, c.moved, c.sense), c.returned);
    EXPECT_EQ(r.header.scsiStatus, 0x02);
    EXPECT_EQ(r.header.dataTransferLength, c.transferLength);
    EXPECT_EQ(r.header.senseInfoLength, c.senseLength);
  }
}

TEST(PassThroughDriver, CheckFindsTheAreasOfAWellFormedRequest) {
  PassThroughRequest r = Request(0x28, 10, 8, kScsiDataIn);
  auto* system = reinterpret_cast<uint8_t*>(&r);
  CheckedPassThrough checked;
  ASSERT_EQ(CheckPassThrough(system, kRequestHeaderSize, kRequestDataOffset + 8, false, 0, checked), 0);
  EXPECT_EQ(checked.data, r.data);
  EXPECT_EQ(checked.sense, r.sense);
  EXPECT_EQ(checked.direction, DataDirection::kIn);
  // Without data nothing points anywhere, whatever DataBuffer holds.
  r = Request(0x28, 10, 0, kScsiDataOut);
  r.header.senseInfoLength = 0;
  r.header.dataBuffer = 1;
  ASSERT_EQ(CheckPassThrough(system, kRequestHeaderSize, kRequestHeaderSize, true, 0xFFF, checked), 0);
  EXPECT_EQ(checked.data, nullptr);
  EXPECT_EQ(checked.sense, nullptr);
  EXPECT_EQ(checked.direction, DataDirection::kNone);
  // Data out in the buffered form must have been given in the input.
  r = Request(0x28, 10, 8, kScsiDataOut);
  EXPECT_EQ(CheckPassThrough(system, kRequestHeaderSize, kRequestSize, false, 0, checked), -1);
  EXPECT_EQ(CheckPassThrough(system, kRequestDataOffset + 8, kRequestSize, false, 0, checked), 0);
  EXPECT_EQ(CheckPassThrough(system, kRequestHeaderSize - 1, kRequestSize, false, 0, checked), -1);
}

// A trace records what the header says moved, whatever count of bytes the driver returned:
// one driver counts the data area, another only the header it updated.
TEST(PassThroughDriver, TraceTakesMovedDataAndSenseFromTheUpdatedHeader) {
  const std::vector<uint8_t> answer = {0x05, 0x80, 0x05, 0x32, 0x5B, 0, 0, 0x10};
  const std::vector<uint8_t> sense = {0x70, 0, 0x02, 0, 0, 0, 0, 0x06, 0, 0, 0, 0, 0x3A, 0};
  const struct {
    const char* name;
    bool direct;
    FakeReply reply;
    uint32_t moved;
    std::vector<uint8_t> received, sense;
  } cases[] = {
      {"buffered_all_counted", false, Data(answer), 8, answer, {}},
      {"buffered_header_only_counted", false, [&] { FakeReply r = Data(answer); r.returned = kRequestHeaderSize; return r; }(),
       8, answer, {}},
      {"buffered_short_header_only_counted", false,
       [&] { FakeReply r = Data(answer, 5); r.returned = kRequestHeaderSize; return r; }(), 5,
       {answer.begin(), answer.begin() + 5}, {}},
      {"direct_header_only_counted", true, [&] { FakeReply r = Data(answer); r.returned = kRequestHeaderSize; return r; }(),
       8, answer, {}},
      {"sense_header_only_counted", false,
       [&] { FakeReply r = CheckCondition(0x02, 0x3A, 6); r.moved = 0; r.returned = kRequestHeaderSize; return r; }(),
       0, {}, sense},
  };
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "orv-pass-through-trace.jsonl";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    auto file = TraceFile::Create(path, TraceHeader{kTraceVersion, "windows", false}, error);
    ASSERT_NE(file, nullptr) << error;
    auto* fake = new FakePort;
    fake->replies = {c.reply};
    auto port = MakeTracingPort(std::unique_ptr<DevicePort>(fake), file, false);
    PassThroughRequest r = Request(0x12, 6, 8, kScsiDataIn);
    alignas(16) uint8_t directData[8] = {};
    if (c.direct) r.header.dataBuffer = reinterpret_cast<uintptr_t>(directData);
    const uint32_t outLength = c.direct ? kRequestDataOffset : kRequestDataOffset + 8;
    uint32_t returned = 0;
    ASSERT_TRUE(port->IoControl(77, c.direct ? kIoctlScsiPassThroughDirect : kIoctlScsiPassThrough, &r,
                                kRequestHeaderSize, &r, outLength, &returned));
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    TraceEvent e;
    ASSERT_EQ(ParseTraceEvent(last, e, error), 0) << error;
    EXPECT_EQ(e.moved, c.moved);
    EXPECT_EQ(e.received, c.received);
    EXPECT_EQ(e.sense, c.sense);
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace orv::test

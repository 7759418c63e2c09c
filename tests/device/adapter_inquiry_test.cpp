// INQUIRY data from the adapter and the drive is outside data: counts, offsets and lengths may
// lie, and nothing is read outside the bytes the driver returned.
#include <gtest/gtest.h>

#include <cstring>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"
#include "device/drive_list.h"
#include "device/fake_port.h"
#include "device/inquiry_view.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

// Builds a SCSI_ADAPTER_BUS_INFO answer, lies included.
struct BusInfo {
  std::vector<uint8_t> bytes;
  explicit BusInfo(size_t size = 4096) : bytes(size, 0) {}
  void Bus(size_t index, uint8_t unitCountByte, uint8_t initiator, uint32_t firstOffset) {
    bytes[0] = static_cast<uint8_t>(std::max<size_t>(bytes[0], index + 1));
    uint8_t* e = bytes.data() + 4 + index * 8;
    e[0] = unitCountByte, e[1] = initiator;
    PutLe32(e + 4, firstOffset);
  }
  void Record(uint32_t offset, uint8_t path, uint8_t target, uint8_t lun, uint8_t claimed,
              std::vector<uint8_t> data, uint32_t next, std::optional<uint32_t> lengthField = {}) {
    uint8_t* r = bytes.data() + offset;
    r[0] = path, r[1] = target, r[2] = lun, r[3] = claimed;
    PutLe32(r + 4, lengthField.value_or(static_cast<uint32_t>(data.size())));
    PutLe32(r + 8, next);
    std::copy(data.begin(), data.end(), r + 12);
  }
};

TEST(AdapterInquiry, SeveralBusesAndABusWithoutUnits) {
  BusInfo info;
  info.Bus(0, 9 /* lies */, 7, 0x100);
  info.Bus(1, 3 /* lies */, 6, 0);
  info.Bus(2, 0 /* lies */, 5, 0x300);
  info.Record(0x100, 0, 0, 0, 1, {0x05, 0x80, 'A'}, 0x200);
  info.Record(0x200, 0, 1, 0, 0, {0x00}, 0);
  info.Record(0x300, 2, 4, 1, 0, std::vector<uint8_t>(36, 0x41), 0);
  auto parsed = ParseAdapterInquiry(info.bytes);
  ASSERT_NE(parsed, nullptr);
  ASSERT_EQ(parsed->BusCount(), 3u);
  std::vector<std::vector<uint32_t>> units;  // bus, initiator, path, target, LUN, claimed, length
  for (uint32_t b = 0; b < 3; ++b)
    for (const ScsiUnit& u : parsed->buses[b].units)
      units.push_back({b, parsed->buses[b].initiatorBusId, u.pathId, u.targetId, u.lun, u.claimed, u.InquiryLength()});
  EXPECT_EQ(units, (std::vector<std::vector<uint32_t>>{{0, 7, 0, 0, 0, 1, 3}, {0, 7, 0, 1, 0, 0, 1}, {2, 5, 2, 4, 1, 0, 36}}));
  EXPECT_EQ(parsed->buses[1].initiatorBusId, 6u);
  EXPECT_EQ(parsed->buses[0].units[0].inquiryData, (std::vector<uint8_t>{0x05, 0x80, 'A'}));
}

// Each answer is given in a buffer of exactly its size, so a read beyond shows under the address
// sanitizer (as under the fuzz target); here, what is kept of a lying answer.
TEST(AdapterInquiry, LyingOffsetsStayInsideTheAnswer) {
  const struct {
    const char* name;
    std::function<void(BusInfo&)> build;
    size_t size;
    std::vector<uint32_t> unitsPerBus;
    std::vector<uint32_t> dataLengths;  // of bus 0's units
  } cases[] = {
      {"data_length_past_end",
       [](BusInfo& b) { b.Bus(0, 1, 0, 0x40); b.Record(0x40, 0, 0, 0, 0, {1, 2}, 0, 0xFFFFFFFF); }, 4096, {1},
       {4096 - 0x40 - 12}},
      {"chain_loops_on_itself",
       [](BusInfo& b) { b.Bus(0, 1, 0, 0x40); b.Record(0x40, 0, 0, 0, 0, {}, 0x40); }, 4096, {4096 / 12}, {}},
      {"bus_table_past_end_of_short_answer", [](BusInfo& b) { b.bytes[0] = 200; }, 20, {0, 0}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BusInfo info(4096);
    c.build(info);
    auto parsed = ParseAdapterInquiry(std::vector<uint8_t>(info.bytes.begin(), info.bytes.begin() + c.size));
    ASSERT_NE(parsed, nullptr);
    ASSERT_EQ(parsed->BusCount(), c.unitsPerBus.size());
    for (size_t i = 0; i < c.unitsPerBus.size(); ++i) EXPECT_EQ(parsed->buses[i].UnitCount(), c.unitsPerBus[i]);
    for (size_t i = 0; i < c.dataLengths.size(); ++i)
      EXPECT_EQ(parsed->buses[0].units[i].InquiryLength(), c.dataLengths[i]);
  }
}

TEST(AdapterInquiry, HandleAsksForFourKilobytesAndParsesWhatCameBack) {
  FakeDevice f;
  FakePort* port = f.port;
  DeviceHandle& device = f.device;
  BusInfo info(64);
  info.Bus(0, 1, 7, 12);
  info.Record(12, 0, 3, 0, 0, {0x05}, 0);
  port->replies = {Data(info.bytes), Failure(), Data({})};
  auto parsed = device.GetInquiryData();
  ASSERT_NE(parsed, nullptr);
  EXPECT_EQ((std::vector<uint32_t>{port->calls[0].code, port->calls[0].outLength}),
            (std::vector<uint32_t>{kIoctlScsiGetInquiryData, 4096}));
  ASSERT_EQ(parsed->buses.at(0).UnitCount(), 1u);
  EXPECT_EQ(parsed->buses[0].units[0].targetId, 3u);
  EXPECT_EQ(device.GetInquiryData(), nullptr);  // the call fails
  EXPECT_EQ(device.GetInquiryData(), nullptr);  // no bytes returned
  EXPECT_EQ(ParseAdapterInquiry({}), nullptr);
}

// The one reading of standard INQUIRY data the drive list, the summary and the report's
// identification line share: fields stop at their ends, at a NUL and at the data's end. Padding
// kept, type, qualifier and removable bit: the console scan's listing (Cli.ScanLists*) and
// DriveListRules.*.
TEST(InquiryView, FieldsStopAtTheirEndsAtZerosAndAtTheDataEnd) {
  std::vector<uint8_t> inquiry(36, 'x');
  std::memcpy(inquiry.data() + 8, "LONGVEND", 8);  // no terminator within the 8 bytes
  std::memcpy(inquiry.data() + 16, "PRODUCT\0garbage!", 16);
  std::memcpy(inquiry.data() + 32, "1.0A", 4);
  const struct {
    size_t length;  // the data cut to this many bytes
    const char *vendor, *product, *revision, *text;
  } cases[] = {
      {36, "LONGVEND", "PRODUCT", "1.0A", "LONGVEND PRODUCT 1.0A"},
      {40, "LONGVEND", "PRODUCT", "1.0A", "LONGVEND PRODUCT 1.0A"},  // bytes past 35 are not read
      {20, "LONGVEND", "PROD", "", "LONGVEND PROD "},  // adapter inquiry data may be short
      {5, "", "", "", "  "},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> data = inquiry;
    data.resize(c.length, 'y');
    const InquiryView view(data);
    EXPECT_EQ((std::vector<std::string>{view.Vendor(), view.Product(), view.Revision(), view.IdentificationText()}),
              (std::vector<std::string>{c.vendor, c.product, c.revision, c.text}))
        << c.length;
  }
}

}  // namespace
}  // namespace orv::test

// The handle over a port, the system's own port on a plain file, and what the handle reads of
// the adapter and the drive: INQUIRY data is outside data whose counts, offsets and lengths may
// lie, and nothing is read outside the bytes the driver returned.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"
#include "device/fake_port.h"
#include "device/inquiry_view.h"
#include "device/scsi_commands.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

TEST(DeviceHandle, PathKinds) {
  const std::pair<const char*, DevicePathKind> cases[] = {
      {"\\\\.\\PHYSICALDRIVE1", kPathPhysicalDrive}, {"\\\\.\\physicaldrive12", kPathPhysicalDrive},
      {"\\\\.\\e:", kPathDriveLetter}, {"\\\\.\\E:\\", kPathOther}, {"\\\\.\\EE:", kPathOther},
      {"\\\\.\\1:", kPathOther}, {"\\\\.\\Scsi1:", kPathScsiPort}, {"\\\\.\\Sc", kPathOther},
      {"\\\\.\\PhysicalDrive", kPathPhysicalDrive}, {"\\\\.\\E", kPathOther}, {"E:", kPathOther}, {"", kPathOther},
      // A CP932 double-byte character whose trail byte is 5Ch ('\') must not pass for the
      // separator: "\\.\" + "ソ" (83 5C) + ":".
      {"\\\\.\x83\x5C" "E:", kPathOther}, {"\\\\\x83\x5C\\E:", kPathOther},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(ClassifyDevicePath(path), kind) << path;
}

TEST(DeviceHandle, OpenTwiceKeepsTheFirstHandle) {
  FakeDevice f(false);
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(f.device.Open("\\\\.\\PhysicalDrive0", kOpenExclusiveReadWrite), -1);
  EXPECT_EQ(f.device.SetPort(std::make_unique<FakePort>()), -1);  // only while closed
  EXPECT_EQ(f.device.Kind(), kPathDriveLetter);
  EXPECT_EQ(f.device.Close(), 0);
  EXPECT_EQ(f.device.Close(), -1);
  EXPECT_EQ((std::vector<int>{f.port->opens, f.port->closes}), (std::vector<int>{1, 1}));
  EXPECT_EQ(f.device.Path(), "\\\\.\\E:");  // kept across Close
}

TEST(DeviceHandle, FailedOpenLeavesTheHandleClosedButRecordsThePath) {
  FakeDevice f(false);
  EXPECT_EQ(f.device.Open("missing", kOpenSharedReadWrite), -1);
  EXPECT_FALSE(f.device.IsOpen());
  EXPECT_EQ(f.device.Path(), "missing");
  EXPECT_EQ(f.device.LastError(), 2u);
  uint8_t buffer[24];
  EXPECT_EQ(f.device.IoControl(kIoctlDiskGetDriveGeometry, nullptr, 0, buffer, 24, nullptr), -1);
  EXPECT_EQ(f.device.GetFileType(), kFileTypeInvalid);
  EXPECT_TRUE(f.port->calls.empty());
  EXPECT_EQ(f.device.Open("\\\\.\\e:", kOpenSharedReadWrite), 0);  // a new Open goes through
}

TEST(DeviceHandle, ControlsAskForTheirLengthsAndReportTheSystemResult) {
  FakeDevice f;
  f.port->replies = {Data({1, 2, 3}), Failure(), Data(std::vector<uint8_t>(24)), Failure(),
                     Data({8, 0, 0, 0, 1, 0, 2, 0})};
  uint8_t out[24];
  std::memset(out, 0xFF, sizeof out);
  uint32_t returned = 99;
  EXPECT_EQ(f.device.IoControl(0x1234, nullptr, 0, out, 8, &returned), 1);
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(f.device.IoControl(0x1234, nullptr, 0, out, 8, &returned), 0);
  EXPECT_EQ(f.device.LastError(), 1167u);
  ASSERT_EQ(f.device.GetDriveGeometry(out), 0);  // the layout: every preset's info golden (Capacity/Geometory)
  EXPECT_EQ(f.device.GetDriveGeometry(out), -1);
  // The SCSI address always goes out with its Length field set to 8.
  std::memset(out, 0xFF, sizeof out);
  ASSERT_EQ(f.device.GetScsiAddress(out), 0);
  EXPECT_EQ(GetLe32(f.port->calls[4].outAtCall.data()), 8u);
  EXPECT_EQ((std::vector<int>{DecodeScsiAddress(out).portNumber, DecodeScsiAddress(out).targetId}),
            (std::vector<int>{1, 2}));
  // Pass-through codes and lengths: CommandSet.EachCommandSendsItsCdbAndHeader.
  const std::vector<uint32_t> asked[] = {{2, kIoctlDiskGetDriveGeometry, 0, 24}, {4, kIoctlScsiGetAddress, 0, 8}};
  for (const std::vector<uint32_t>& want : asked) {
    const FakeCall& call = f.port->calls.at(want[0]);
    EXPECT_EQ((std::vector<uint32_t>{want[0], call.code, call.inLength, call.outLength}), want);
  }
  EXPECT_EQ(f.device.GetFileType(), kFileTypeDisk);
}

// The system's own port, as far as it can be driven without a drive: a plain file, then none.
TEST(OsPort, PlainFileOpensAndRefusesScsiCommands) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "orv-os-port-test.bin";
  { std::ofstream(file, std::ios::binary) << std::string(4096, 'x'); }
  DeviceHandle device;
  ASSERT_EQ(device.Open(file.string().c_str(), kOpenSharedReadWrite), 0) << SystemErrorText(device.LastError());
  EXPECT_EQ(device.Kind(), kPathOther);
  EXPECT_EQ(device.GetFileType(), kFileTypeDisk);
  EXPECT_EQ(TestUnitReady(device, {}), -1);
  EXPECT_NE(device.LastError(), 0u);
  EXPECT_FALSE(SystemErrorText(device.LastError()).empty());
  EXPECT_EQ(device.GetInquiryData(), nullptr);
  EXPECT_EQ(device.Close(), 0);
#ifndef _WIN32
  // An answer buffer too short for the geometry is refused before the system is asked, which
  // would otherwise answer for the plain file with another error.
  std::unique_ptr<DevicePort> port = MakeOsPort();
  const PortHandle handle = port->Open(file.string().c_str(), kOpenSharedReadWrite);
  uint8_t shortBuffer[8] = {};
  EXPECT_FALSE(port->IoControl(handle, kIoctlDiskGetDriveGeometry, nullptr, 0, shortBuffer, sizeof shortBuffer, nullptr));
  EXPECT_EQ(port->LastError(), port->ErrorCode(PortError::kBufferTooSmall));
  port->Close(handle);
#endif
  std::filesystem::remove(file);
  // A missing path fails; every error the ports name has a code and a text.
  EXPECT_EQ(device.Open(file.string().c_str(), kOpenSharedReadWrite), -1);
  EXPECT_EQ(device.LastError(), device.Port().ErrorCode(PortError::kFileNotFound));
  for (PortError e : {PortError::kFileNotFound, PortError::kInvalidParameter, PortError::kNotReady,
                      PortError::kSharingViolation, PortError::kDeviceGone}) {
    const uint32_t code = device.Port().ErrorCode(e);
    EXPECT_TRUE(code != 0 && !SystemErrorText(code).empty()) << code;
  }
}


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

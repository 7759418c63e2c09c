// The handle over a port, the system's own port on a plain file, and the adapter and INQUIRY data it reads.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "device/adapter_inquiry.h"
#include "device/fake_port.h"
#include "device/inquiry_view.h"
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

TEST(DeviceHandle, FailedOpenRecordsThePathAndOpenTwiceKeepsTheFirstHandle) {
  FakeDevice f(false);
  EXPECT_EQ(f.device.Open("missing", kOpenSharedReadWrite), -1);
  EXPECT_FALSE(f.device.IsOpen());
  EXPECT_EQ((std::vector<uint32_t>{f.device.LastError(), f.device.GetFileType()}),
            (std::vector<uint32_t>{2, kFileTypeInvalid}));
  EXPECT_EQ(f.device.IoControl(kIoctlDiskGetDriveGeometry, nullptr, 0, nullptr, 0, nullptr), -1);
  EXPECT_TRUE(f.port->calls.empty());
  EXPECT_EQ(f.device.Path(), "missing");
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(f.device.Open("\\\\.\\PhysicalDrive0", kOpenExclusiveReadWrite), -1);
  EXPECT_EQ(f.device.SetPort(std::make_unique<FakePort>()), -1);  // only while closed
  EXPECT_EQ(f.device.Kind(), kPathDriveLetter);
  EXPECT_EQ(f.device.Close(), 0);
  EXPECT_EQ(f.device.Close(), -1);
  EXPECT_EQ((std::vector<int>{f.port->opens, f.port->closes}), (std::vector<int>{1, 1}));
  EXPECT_EQ(f.device.Path(), "\\\\.\\E:");  // kept across Close
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
  EXPECT_EQ((std::vector<uint32_t>{f.port->calls[2].code, f.port->calls[2].outLength, f.port->calls[4].code,
                                   f.port->calls[4].outLength}),
            (std::vector<uint32_t>{kIoctlDiskGetDriveGeometry, 24, kIoctlScsiGetAddress, 8}));
  EXPECT_EQ(f.device.GetFileType(), kFileTypeDisk);
}

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
  // A geometry buffer too short is refused before the system is asked (which answers otherwise).
  std::unique_ptr<DevicePort> port = MakeOsPort();
  const PortHandle handle = port->Open(file.string().c_str(), kOpenSharedReadWrite);
  uint8_t shortBuffer[8] = {};
  EXPECT_FALSE(
      port->IoControl(handle, kIoctlDiskGetDriveGeometry, nullptr, 0, shortBuffer, sizeof shortBuffer, nullptr));
  EXPECT_EQ(port->LastError(), port->ErrorCode(PortError::kBufferTooSmall));
  port->Close(handle);
#endif
  std::filesystem::remove(file);  // a missing path fails; every error the ports name has a code and a text
  EXPECT_EQ(device.Open(file.string().c_str(), kOpenSharedReadWrite), -1);
  EXPECT_EQ(device.LastError(), device.Port().ErrorCode(PortError::kFileNotFound));
  for (PortError e : {PortError::kFileNotFound, PortError::kInvalidParameter, PortError::kNotReady,
                      PortError::kSharingViolation, PortError::kDeviceGone}) {
    const uint32_t code = device.Port().ErrorCode(e);
    EXPECT_TRUE(code != 0 && !SystemErrorText(code).empty()) << code;
  }
}

// Builds a SCSI_ADAPTER_BUS_INFO answer, lies included; lying offsets and lengths: the fuzz target's.
struct BusInfo {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(4096);
  void Bus(size_t index, uint8_t unitCountByte, uint8_t initiator, uint32_t firstOffset) {
    bytes[0] = static_cast<uint8_t>(std::max<size_t>(bytes[0], index + 1));
    uint8_t* e = bytes.data() + 4 + index * 8;
    e[0] = unitCountByte, e[1] = initiator;
    PutLe32(e + 4, firstOffset);
  }
  void Record(uint32_t offset, uint8_t path, uint8_t target, uint8_t lun, uint8_t claimed,
              std::vector<uint8_t> data, uint32_t next) {
    uint8_t* r = bytes.data() + offset;
    r[0] = path, r[1] = target, r[2] = lun, r[3] = claimed;
    PutLe32(r + 4, static_cast<uint32_t>(data.size()));
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
  EXPECT_EQ(units,
            (std::vector<std::vector<uint32_t>>{{0, 7, 0, 0, 0, 1, 3}, {0, 7, 0, 1, 0, 0, 1}, {2, 5, 2, 4, 1, 0, 36}}));
  EXPECT_EQ(parsed->buses[1].initiatorBusId, 6u);
  EXPECT_EQ(parsed->buses[0].units[0].inquiryData, (std::vector<uint8_t>{0x05, 0x80, 'A'}));
}

// Padding kept, type, qualifier and removable bit: Cli.ScanLists* and DriveListRules.*.
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

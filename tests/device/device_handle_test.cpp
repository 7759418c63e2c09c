#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "device/device_handle.h"
#include "device/fake_port.h"
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

}  // namespace
}  // namespace orv::test

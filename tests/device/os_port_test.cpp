// The operating system's own port, as far as it can be driven without a drive: a plain file
// opens like a device, its controls fail with a system error, and the error has a text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "device/device_handle.h"
#include "device/ports/device_port.h"
#include "device/ports/pass_through.h"
#include "device/scsi_commands.h"

namespace orv {
namespace {

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
}

TEST(OsPort, MissingPathFailsAndEveryErrorHasAText) {
  DeviceHandle device;
  const std::string missing = (std::filesystem::temp_directory_path() / "orv-no-such-device").string();
  EXPECT_EQ(device.Open(missing.c_str(), kOpenSharedReadWrite), -1);
  EXPECT_EQ(device.LastError(), device.Port().ErrorCode(PortError::kFileNotFound));
  for (PortError e : {PortError::kFileNotFound, PortError::kInvalidParameter, PortError::kNotReady,
                      PortError::kSharingViolation, PortError::kDeviceGone}) {
    const uint32_t code = device.Port().ErrorCode(e);
    EXPECT_NE(code, 0u);
    EXPECT_FALSE(SystemErrorText(code).empty()) << code;
  }
}

}  // namespace
}  // namespace orv

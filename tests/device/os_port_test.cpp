// The operating system's own port, as far as it can be driven without a drive: a plain file
// opens like a device, its controls fail with a system error, and the error has a text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/device_handle.h"
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
  EXPECT_EQ(TestUnitReady(device, 0, 0, 0), -1);
  EXPECT_NE(device.LastError(), 0u);
  EXPECT_FALSE(SystemErrorText(device.LastError()).empty());
  EXPECT_EQ(device.GetInquiryData(), nullptr);
  EXPECT_EQ(device.Close(), 0);
  std::filesystem::remove(file);
}

TEST(OsPort, MissingPathFailsWithAnErrorText) {
  DeviceHandle device;
  const std::string missing = (std::filesystem::temp_directory_path() / "orv-no-such-device").string();
  EXPECT_EQ(device.Open(missing.c_str(), kOpenSharedReadWrite), -1);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.LastError(), device.Port().ErrorCode(PortError::kFileNotFound));
  EXPECT_FALSE(SystemErrorText(device.LastError()).empty());
}

TEST(OsPort, CandidatesAreLettersInOrder) {
  DeviceHandle device;
  char previous = 0;
  for (const DriveCandidate& c : device.DriveCandidates()) {
    EXPECT_GT(c.letter, previous);
    EXPECT_GE(c.letter, 'A');
    EXPECT_LE(c.letter, 'Z');
    EXPECT_FALSE(c.path.empty());
    previous = c.letter;
  }
}

}  // namespace
}  // namespace orv

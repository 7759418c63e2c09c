#include <gtest/gtest.h>

#include <memory>

#include "device/device_handle.h"
#include "device/fake_port.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

TEST(DeviceHandle, PathKinds) {
  const std::pair<const char*, DevicePathKind> cases[] = {
      {"\\\\.\\PhysicalDrive0", kPathPhysicalDrive}, {"\\\\.\\PHYSICALDRIVE1", kPathPhysicalDrive},
      {"\\\\.\\physicaldrive12", kPathPhysicalDrive}, {"\\\\.\\PhysicalDrive", kPathPhysicalDrive},
      {"\\\\.\\E:", kPathDriveLetter}, {"\\\\.\\e:", kPathDriveLetter}, {"\\\\.\\E:\\", kPathOther},
      {"\\\\.\\EE:", kPathOther}, {"\\\\.\\1:", kPathOther}, {"\\\\.\\E", kPathOther},
      {"\\\\.\\Scsi1:", kPathScsiPort}, {"\\\\.\\SCSI", kPathScsiPort}, {"\\\\.\\Sc", kPathOther},
      {"E:", kPathOther}, {"", kPathOther}, {"/dev/sr0", kPathOther},
      // A CP932 double-byte character whose trail byte is 5Ch ('\') must not pass for the
      // separator: "\\.\" + "ソ" (83 5C) + ":".
      {"\\\\.\x83\x5C" "E:", kPathOther}, {"\\\\\x83\x5C\\E:", kPathOther},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(ClassifyDevicePath(path), kind) << path;
}

struct Fixture {
  FakePort* port = new FakePort;
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
};

TEST(DeviceHandle, OpenTwiceKeepsTheFirstHandle) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(f.device.Open("\\\\.\\PhysicalDrive0", kOpenExclusiveReadWrite), -1);
  EXPECT_EQ(f.device.SetPort(std::make_unique<FakePort>()), -1);  // only while closed
  EXPECT_EQ(f.port->opens, 1);
  EXPECT_EQ(f.device.Kind(), kPathDriveLetter);
  EXPECT_EQ(f.device.Close(), 0);
  EXPECT_EQ(f.device.Close(), -1);
  EXPECT_EQ(f.port->closes, 1);
  EXPECT_EQ(f.device.Path(), "\\\\.\\E:");  // kept across Close
}

TEST(DeviceHandle, FailedOpenLeavesTheHandleClosedButRecordsThePath) {
  Fixture f;
  EXPECT_EQ(f.device.Open("missing", kOpenSharedReadWrite), -1);
  EXPECT_FALSE(f.device.IsOpen());
  EXPECT_EQ(f.device.Path(), "missing");
  EXPECT_EQ(f.device.LastError(), 2u);
  EXPECT_EQ(f.device.Close(), -1);
  uint8_t buffer[24];
  EXPECT_EQ(f.device.IoControl(kIoctlDiskGetDriveGeometry, nullptr, 0, buffer, 24, nullptr), -1);
  EXPECT_EQ(f.device.GetDriveGeometry(buffer), -1);  // every control goes through IoControl
  EXPECT_EQ(f.device.GetFileType(), kFileTypeInvalid);
  EXPECT_TRUE(f.port->calls.empty());
  EXPECT_EQ(f.device.Open("\\\\.\\e:", kOpenSharedReadWrite), 0);  // a new Open goes through
  EXPECT_EQ(f.device.Kind(), kPathDriveLetter);
}

TEST(DeviceHandle, ControlsAskForTheirLengthsAndReportTheSystemResult) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  const DiskGeometry g{0x123456789ull, 11, 64, 32, 2048};
  std::vector<uint8_t> geometry(24);
  EncodeDiskGeometry(g, geometry.data());
  f.port->replies = {Data({1, 2, 3}), Failure(), Data(geometry), Failure(),
                     Data({8, 0, 0, 0, 1, 0, 2, 0}), {}, Failure()};
  uint8_t out[24];
  std::memset(out, 0xFF, sizeof out);
  uint32_t returned = 99;
  EXPECT_EQ(f.device.IoControl(0x1234, nullptr, 0, out, 8, &returned), 1);
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(f.device.IoControl(0x1234, nullptr, 0, out, 8, &returned), 0);
  EXPECT_EQ(f.device.LastError(), 1167u);
  ASSERT_EQ(f.device.GetDriveGeometry(out), 0);
  const DiskGeometry back = DecodeDiskGeometry(out);
  EXPECT_EQ(back.cylinders, g.cylinders);
  EXPECT_EQ(back.mediaType, 11u);
  EXPECT_EQ(back.bytesPerSector, 2048u);
  EXPECT_EQ(f.device.GetDriveGeometry(out), -1);
  // The SCSI address always goes out with its Length field set to 8.
  std::memset(out, 0xFF, sizeof out);
  ASSERT_EQ(f.device.GetScsiAddress(out), 0);
  EXPECT_EQ(GetLe32(f.port->calls[4].outAtCall.data()), 8u);
  EXPECT_EQ(DecodeScsiAddress(out).portNumber, 1);
  EXPECT_EQ(DecodeScsiAddress(out).targetId, 2);
  // The buffered form without data asks for header and sense.
  PassThroughRequest request{};
  request.header.length = kRequestHeaderSize;
  EXPECT_EQ(f.device.PassThrough(request, kRequestHeaderSize, kRequestDataOffset), int(kRequestDataOffset));
  EXPECT_EQ(f.device.PassThroughDirect(request, kRequestHeaderSize, kRequestDataOffset), -1);
  const std::vector<uint32_t> asked[] = {{2, kIoctlDiskGetDriveGeometry, 0, 24}, {4, kIoctlScsiGetAddress, 0, 8},
                                         {5, kIoctlScsiPassThrough, kRequestHeaderSize, kRequestDataOffset}};
  for (const std::vector<uint32_t>& want : asked) {
    const FakeCall& call = f.port->calls.at(want[0]);
    EXPECT_EQ((std::vector<uint32_t>{want[0], call.code, call.inLength, call.outLength}), want);
  }
  EXPECT_EQ(f.device.GetFileType(), kFileTypeDisk);
}

TEST(DeviceHandle, MediaTypeNames) {
  const std::pair<std::vector<uint32_t>, const char*> cases[] = {
      {{1, 6, 7, 8, 9, 10, 15, 16, 19}, "5.25 floppy"}, {{2, 3, 4, 5, 13, 14, 17, 18, 20, 21, 23, 24, 25}, "3.5 floppy"},
      {{11}, "Removable"}, {{12}, "Fixed"}, {{22}, "8 floppy"}, {{0, 26, 0xFFFFFFFF}, "Unknown"},
  };
  for (const auto& [types, name] : cases)
    for (uint32_t t : types) EXPECT_STREQ(MediaTypeName(t), name) << "type " << t;
}

}  // namespace
}  // namespace orv::test

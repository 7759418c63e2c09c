#include <gtest/gtest.h>

#include <memory>

#include "device/device_handle.h"
#include "device/fake_port.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

struct Fixture {
  FakePort* port = new FakePort;
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
};

TEST(DeviceHandle, StartsClosedWithTenSecondTimeout) {
  Fixture f;
  EXPECT_FALSE(f.device.IsOpen());
  EXPECT_EQ(f.device.Path(), "");
  EXPECT_EQ(f.device.Kind(), kPathOther);
  EXPECT_EQ(f.device.Timeout(), 10u);
}

TEST(DeviceHandle, OpenTwiceKeepsTheFirstHandle) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(f.device.Open("\\\\.\\PhysicalDrive0", kOpenExclusiveReadWrite), -1);
  EXPECT_EQ(f.port->opens, 1);
  EXPECT_EQ(f.device.Path(), "\\\\.\\E:");
  EXPECT_EQ(f.device.Kind(), kPathDriveLetter);
  uint8_t geometry[24];
  f.port->replies = {Answer(std::vector<uint8_t>(24, 1))};
  EXPECT_EQ(f.device.GetDriveGeometry(geometry), 0);
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
  EXPECT_EQ(f.device.Kind(), kPathOther);
  EXPECT_EQ(f.device.LastError(), 2u);
  EXPECT_EQ(f.device.Close(), -1);
  uint8_t buffer[24];
  EXPECT_EQ(f.device.IoControl(kIoctlDiskGetDriveGeometry, nullptr, 0, buffer, 24, nullptr), -1);
  EXPECT_EQ(f.device.GetDriveGeometry(buffer), -1);
  EXPECT_EQ(f.device.GetScsiAddress(buffer), -1);
  EXPECT_EQ(f.device.GetInquiryData(), nullptr);
  EXPECT_EQ(f.device.GetFileType(), kFileTypeInvalid);
  PassThroughRequest request{};
  EXPECT_EQ(f.device.PassThrough(request, kRequestHeaderSize, kRequestDataOffset), -1);
  EXPECT_EQ(f.device.PassThroughDirect(request, kRequestHeaderSize, kRequestDataOffset), -1);
  EXPECT_TRUE(f.port->calls.empty());
  // After a failure a new Open goes through.
  EXPECT_EQ(f.device.Open("\\\\.\\e:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(f.device.Kind(), kPathDriveLetter);
}

TEST(DeviceHandle, IoControlReportsTheSystemResult) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  uint8_t out[8];
  uint32_t returned = 99;
  f.port->replies = {Answer({1, 2, 3}), Failure()};
  EXPECT_EQ(f.device.IoControl(0x1234, nullptr, 0, out, 8, &returned), 1);
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(f.device.IoControl(0x1234, nullptr, 0, out, 8, &returned), 0);
  EXPECT_EQ(f.device.LastError(), 1167u);
  EXPECT_EQ(f.device.GetFileType(), kFileTypeDisk);
}

TEST(DeviceHandle, ScsiAddressAlwaysPresentsLengthEight) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  uint8_t address[8];
  std::memset(address, 0xFF, sizeof address);
  f.port->replies = {Answer({8, 0, 0, 0, 1, 0, 2, 0})};
  ASSERT_EQ(f.device.GetScsiAddress(address), 0);
  ASSERT_EQ(f.port->calls.size(), 1u);
  EXPECT_EQ(f.port->calls[0].code, kIoctlScsiGetAddress);
  EXPECT_EQ(f.port->calls[0].outLength, 8u);
  EXPECT_EQ(GetLe32(f.port->calls[0].outAtCall.data()), 8u);
  const ScsiAddress a = DecodeScsiAddress(address);
  EXPECT_EQ(a.portNumber, 1);
  EXPECT_EQ(a.targetId, 2);
}

TEST(DeviceHandle, DriveGeometryIsTwentyFourBytes) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  DiskGeometry g{.cylinders = 0x123456789ull, .mediaType = 11, .tracksPerCylinder = 64, .sectorsPerTrack = 32,
                 .bytesPerSector = 2048};
  std::vector<uint8_t> answer(24);
  EncodeDiskGeometry(g, answer.data());
  f.port->replies = {Answer(answer)};
  uint8_t out[24];
  ASSERT_EQ(f.device.GetDriveGeometry(out), 0);
  EXPECT_EQ(f.port->calls[0].code, kIoctlDiskGetDriveGeometry);
  EXPECT_EQ(f.port->calls[0].outLength, 24u);
  EXPECT_EQ(f.port->calls[0].inLength, 0u);
  const DiskGeometry back = DecodeDiskGeometry(out);
  EXPECT_EQ(back.cylinders, g.cylinders);
  EXPECT_EQ(back.mediaType, 11u);
  EXPECT_EQ(back.bytesPerSector, 2048u);
  f.port->replies = {Failure()};
  EXPECT_EQ(f.device.GetDriveGeometry(out), -1);
}

TEST(DeviceHandle, BufferedPassThroughWithoutDataAsksForHeaderAndSense) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  PassThroughRequest request{};
  request.header.length = kRequestHeaderSize;
  EXPECT_EQ(f.device.PassThrough(request, kRequestHeaderSize, kRequestDataOffset), int(kRequestDataOffset));
  EXPECT_EQ(f.port->calls[0].code, kIoctlScsiPassThrough);
  EXPECT_EQ(f.port->calls[0].outLength, kRequestDataOffset);
  f.port->replies = {Failure()};
  EXPECT_EQ(f.device.PassThroughDirect(request, kRequestHeaderSize, kRequestDataOffset), -1);
}

TEST(DeviceHandle, MediaTypeNames) {
  struct Case {
    std::vector<uint32_t> types;
    const char* name;
  };
  const Case cases[] = {
      {{1, 6, 7, 8, 9, 10, 15, 16, 19}, "5.25 floppy"},
      {{2, 3, 4, 5, 13, 14, 17, 18, 20, 21, 23, 24, 25}, "3.5 floppy"},
      {{11}, "Removable"},
      {{12}, "Fixed"},
      {{22}, "8 floppy"},
      {{0, 26, 0xFFFFFFFF}, "Unknown"},
  };
  for (const Case& c : cases)
    for (uint32_t t : c.types) EXPECT_STREQ(MediaTypeName(t), c.name) << "type " << t;
}

TEST(DeviceHandle, SetPortOnlyWhileClosed) {
  Fixture f;
  ASSERT_EQ(f.device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(f.device.SetPort(std::make_unique<FakePort>()), -1);
  f.device.Close();
  EXPECT_EQ(f.device.SetPort(std::make_unique<FakePort>()), 0);
}

}  // namespace
}  // namespace orv::test

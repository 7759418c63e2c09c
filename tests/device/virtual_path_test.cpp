// The whole path a program takes: DeviceHandle -> command set -> virtual port (reading the
// request as a driver does) -> virtual drive.
#include <gtest/gtest.h>

#include <memory>

#include "device/fake_port.h"
#include "device/ports/virtual_port.h"
#include "device/scsi_commands.h"
#include "toolkit/endian.h"
#include "vdrive/drive_config.h"

namespace orv::test {
namespace {

struct Rig {
  FakePort* os = new FakePort;
  VirtualPort* port = new VirtualPort(std::unique_ptr<DevicePort>(os));
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
  std::shared_ptr<VirtualDrive> drive;
  PageBuffer buffer{1 << 20};

  explicit Rig(const char* preset = "dvdram") {
    drive = MakeVirtualDrive(*FindDrivePreset(preset));
    port->AddDrive('E', drive);
    EXPECT_EQ(device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  }
};

TEST(VirtualPath, EveryCommandReachesTheDrive) {
  Rig rig;
  uint8_t* b = rig.buffer.data();
  EXPECT_EQ(TestUnitReady(rig.device, {}), 0);
  uint8_t inquiry[40];
  ASSERT_EQ(Inquiry(rig.device, {}, -1, 40, inquiry), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 16), 16), "VIRTUAL DVD-RAM ");
  ASSERT_EQ(Inquiry(rig.device, {}, 0x80, 20, inquiry), 0);
  EXPECT_EQ(inquiry[1], 0x80);
  uint8_t capacity[8];
  ASSERT_EQ(ReadCapacity(rig.device, {}, 8, capacity), 0);
  EXPECT_EQ(GetBe32(capacity), 2295104u);  // the drive's last LBA + 1

  for (int i = 0; i < 4096; ++i) b[i] = uint8_t(i * 7);
  EXPECT_EQ(Write10(rig.device, {}, 2295102, 2, 4096, b), 4096);
  std::memset(b, 0, 4096);
  EXPECT_EQ(Read10(rig.device, {}, 2295102, 2, 4096, b), 4096);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(b[i], uint8_t(i * 7)) << i;
  EXPECT_EQ(Seek10(rig.device, {}, 1000), 0);
  EXPECT_EQ(Verify10(rig.device, {}, 0, 16), 0);
  EXPECT_EQ(rig.drive->LastCdb(), (std::vector<uint8_t>{0x2F, 0, 0, 0, 0, 0, 0, 0, 16, 0}));
  // Beyond the last block: LOGICAL BLOCK ADDRESS OUT OF RANGE, a plain failure.
  EXPECT_EQ(Read10(rig.device, {}, 2295103, 2, 4096, b), -1);
  EXPECT_EQ(Seek10(rig.device, {}, 2295104), -1);

  // The MMC commands answer from the drive's own content; an answer override replaces it.
  EXPECT_EQ(ModeSense(rig.device, {}, false, 0, 0x3F, 255, b), 0);
  EXPECT_EQ(GetConfiguration(rig.device, {}, 0, 0, 8, b), 0);
  EXPECT_EQ(ReadDvdStructure(rig.device, {}, 0, 0, 0, 8, b), 0);
  rig.drive->SetAnswerOverride(0x5A, {0x00, 0x06, 0x12, 0x34});
  std::memset(b, 0xEE, 300);
  EXPECT_EQ(ModeSense(rig.device, {}, false, 0, 0x3F, 300, b), 0);
  EXPECT_EQ(std::vector<uint8_t>(b, b + 5), (std::vector<uint8_t>{0x00, 0x06, 0x12, 0x34, 0xEE}));
}

TEST(VirtualPath, NoDiscFailsAtOnceWithItsSenseWhereTheDriverPutsIt) {
  Rig rig("nodisc");
  uint8_t capacity[8];
  EXPECT_EQ(ReadCapacity(rig.device, {}, 8, capacity), -1);
  EXPECT_EQ(rig.drive->CommandCount(), 1u);
  uint8_t geometry[24];
  EXPECT_EQ(rig.device.GetDriveGeometry(geometry), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kNotReady));
  ScsiUnit unit;  // a drive without a disc still tells who it is
  EXPECT_EQ(InquiryUnit(rig.device, {}, unit), 0);
  EXPECT_EQ(unit.InquiryLength(), 40u);

  PassThroughRequest request = Request(0x00, 6, 0);
  EXPECT_EQ(rig.device.PassThrough(request, kRequestHeaderSize, kRequestDataOffset),
            int(kRequestSenseOffset + kRequestSenseLength));
  EXPECT_EQ(request.header.scsiStatus, kScsiStatusCheckCondition);
  EXPECT_EQ((std::vector<uint8_t>{request.sense[0], request.sense[2], request.sense[7], request.sense[12]}),
            (std::vector<uint8_t>{0x70, 0x02, 10, 0x3A}));
}

TEST(VirtualPath, ShortTransferAndVanishingDevice) {
  Rig rig;
  rig.drive->InjectShortTransfer(3000);
  EXPECT_EQ(Read10(rig.device, {}, 0, 4, 8192, rig.buffer.data()), 3000);
  rig.drive->InjectShortTransfer(3000);
  EXPECT_EQ(Write10(rig.device, {}, 0, 4, 8192, rig.buffer.data()), 2048);

  rig.drive->SetVanished(true);
  EXPECT_EQ(Read10(rig.device, {}, 0, 1, 2048, rig.buffer.data()), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kDeviceGone));
  rig.device.Close();
  EXPECT_EQ(rig.device.Open("\\\\.\\E:", kOpenSharedReadWrite), -1);
  rig.drive->SetVanished(false);
  EXPECT_EQ(rig.device.Open("\\\\.\\e:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(TestUnitReady(rig.device, {}), 0);
}

TEST(VirtualPath, MalformedRequestsAreRefusedLikeADriverDoes) {
  Rig rig;
  rig.drive->Face().alignmentMask = 0xFFF;
  // The command set carries an unaligned buffer through an aligned copy.
  EXPECT_EQ(Read10(rig.device, {}, 0, 1, 2048, rig.buffer.data() + 2), 2048);
  const auto unaligned = [&](PassThroughRequest& r) {
    r = Request(0x28, 10, 2048);
    r.header.cdb[8] = 1;
    r.header.dataBuffer = reinterpret_cast<uintptr_t>(rig.buffer.data() + 2);
  };
  const struct {
    const char* name;
    std::function<void(PassThroughRequest&)> spoil;
    uint32_t outLength;
    bool direct;
  } cases[] = {
      {"wrong_length_field", [](PassThroughRequest& r) { r.header.length = 44 + 1; }, kRequestDataOffset + 8, false},
      {"cdb_length_0", [](PassThroughRequest& r) { r.header.cdbLength = 0; }, kRequestDataOffset + 8, false},
      {"cdb_length_17", [](PassThroughRequest& r) { r.header.cdbLength = 17; }, kRequestDataOffset + 8, false},
      {"data_past_output", [](PassThroughRequest&) {}, kRequestDataOffset + 4, false},
      {"sense_past_output", [](PassThroughRequest& r) { r.header.senseInfoOffset = kRequestDataOffset + 4; },
       kRequestDataOffset + 8, false},
      {"unaligned_direct_buffer", unaligned, kRequestDataOffset, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PassThroughRequest request = Request();
    c.spoil(request);
    rig.drive->ClearCommandLog();
    EXPECT_EQ(c.direct ? rig.device.PassThroughDirect(request, kRequestHeaderSize, c.outLength)
                       : rig.device.PassThrough(request, kRequestHeaderSize, c.outLength),
              -1);
    EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kInvalidParameter));
    EXPECT_EQ(rig.drive->CommandCount(), 0u);
  }
}

// Address, file type, drive type and adapter data of a virtual drive are the scan tests' matter.
TEST(VirtualPort, PortFaceAndOtherPaths) {
  Rig rig("hdd");
  uint8_t geometry[24];
  ASSERT_EQ(rig.device.GetDriveGeometry(geometry), 0);
  EXPECT_EQ(DecodeDiskGeometry(geometry).bytesPerSector, 512u);
  EXPECT_STREQ(MediaTypeName(DecodeDiskGeometry(geometry).mediaType), "Fixed");
  EXPECT_EQ(rig.port->DriveType("e:\\"), kDriveFixed);
  EXPECT_EQ(rig.port->DriveType("F:\\"), kDriveCdrom);  // from the OS port
  const auto candidates = rig.port->DriveCandidates();
  ASSERT_EQ(candidates.size(), 1u);  // the OS port's E: is replaced by the virtual one
  EXPECT_EQ(candidates[0].path, "\\\\.\\E:");
  // Other paths reach the OS port, and its handles work through the virtual port.
  DeviceHandle other{std::make_unique<VirtualPort>(std::make_unique<FakePort>())};
  EXPECT_EQ(other.Open("\\\\.\\PhysicalDrive0", kOpenSharedReadWrite), 0);
  EXPECT_EQ(other.GetFileType(), kFileTypeDisk);
  EXPECT_EQ(other.Close(), 0);
  EXPECT_EQ(other.Open("missing", kOpenSharedReadWrite), -1);
  EXPECT_EQ(other.LastError(), 2u);
}

TEST(VirtualPort, SharingModesAreEnforced) {
  auto port = std::make_unique<VirtualPort>(std::make_unique<FakePort>());
  port->AddDrive('E', MakeVirtualDrive(*FindDrivePreset("dvdram")));
  const PortHandle shared = port->Open("\\\\.\\E:", kOpenSharedReadWrite);
  const PortHandle second = port->Open("\\\\.\\E:", kOpenSharedReadWrite);
  ASSERT_NE(shared, kNoPortHandle);
  EXPECT_NE(second, kNoPortHandle);
  EXPECT_EQ(port->Open("\\\\.\\E:", kOpenExclusiveReadWrite), kNoPortHandle);
  EXPECT_EQ(port->LastError(), port->ErrorCode(PortError::kSharingViolation));
  port->Close(shared);
  port->Close(second);
  const PortHandle exclusive = port->Open("\\\\.\\E:", kOpenExclusiveReadWrite);
  ASSERT_NE(exclusive, kNoPortHandle);
  EXPECT_EQ(port->Open("\\\\.\\E:", kOpenSharedReadWrite), kNoPortHandle);
  EXPECT_EQ(port->Close(exclusive), 0);
  EXPECT_EQ(port->Close(exclusive), -1);
}

}  // namespace
}  // namespace orv::test

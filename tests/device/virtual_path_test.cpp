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
  EXPECT_EQ(TestUnitReady(rig.device, 0, 0, 0), 0);

  uint8_t inquiry[40];
  ASSERT_EQ(Inquiry(rig.device, 0, 0, 0, -1, 40, inquiry), 0);
  EXPECT_EQ(inquiry[0], 0x05);
  EXPECT_EQ(inquiry[1], 0x80);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 16), 16), "VIRTUAL DVD-RAM ");
  ASSERT_EQ(Inquiry(rig.device, 0, 0, 0, 0x80, 20, inquiry), 0);
  EXPECT_EQ(inquiry[1], 0x80);

  uint8_t capacity[8];
  ASSERT_EQ(ReadCapacity(rig.device, 0, 0, 0, 8, capacity), 0);
  EXPECT_EQ(GetBe32(capacity), 2295104u);
  EXPECT_EQ(GetBe32(capacity + 4), 2048u);

  for (int i = 0; i < 4096; ++i) b[i] = uint8_t(i * 7);
  EXPECT_EQ(Write10(rig.device, 0, 0, 0, 2295102, 2, 4096, b), 4096);
  std::memset(b, 0, 4096);
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 2295102, 2, 4096, b), 4096);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(b[i], uint8_t(i * 7)) << i;
  EXPECT_EQ(Seek10(rig.device, 0, 0, 0, 1000), 0);
  EXPECT_EQ(Verify10(rig.device, 0, 0, 0, 0, 16), 0);
  EXPECT_EQ(rig.drive->LastCdb(), (std::vector<uint8_t>{0x2F, 0, 0, 0, 0, 0, 0, 0, 16, 0}));

  // Beyond the last block: LOGICAL BLOCK ADDRESS OUT OF RANGE, a plain failure.
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 2295103, 2, 4096, b), -1);
  EXPECT_EQ(Seek10(rig.device, 0, 0, 0, 2295104), -1);

  // Commands this drive does not implement yet fail cleanly; an answer override serves them.
  EXPECT_EQ(ModeSense(rig.device, 0, 0, 0, false, 0, 0x3F, 255, b), -1);
  EXPECT_EQ(GetConfiguration(rig.device, 0, 0, 0, 0, 0, 8, b), -1);
  EXPECT_EQ(ReadDvdStructure(rig.device, 0, 0, 0, 0, 0, 0, 8, b), -1);
  rig.drive->SetAnswerOverride(0x5A, {0x00, 0x06, 0x12, 0x34});
  std::memset(b, 0xEE, 300);
  EXPECT_EQ(ModeSense(rig.device, 0, 0, 0, false, 0, 0x3F, 300, b), 0);
  EXPECT_EQ(std::vector<uint8_t>(b, b + 5), (std::vector<uint8_t>{0x00, 0x06, 0x12, 0x34, 0xEE}));
}

TEST(VirtualPath, MediumChangeIsReissuedTransparently) {
  Rig rig;
  rig.drive->ChangeMedium(MakeMemoryMedium(2048, 1000, false));
  rig.drive->ClearCommandLog();
  uint8_t capacity[8];
  ASSERT_EQ(ReadCapacity(rig.device, 0, 0, 0, 8, capacity), 0);
  EXPECT_EQ(GetBe32(capacity), 1000u);
  EXPECT_EQ(rig.drive->CommandCount(), 2u);

  rig.drive->InjectUnitAttention(1000);
  rig.drive->ClearCommandLog();
  EXPECT_EQ(TestUnitReady(rig.device, 0, 0, 0), -1);
  EXPECT_EQ(rig.drive->CommandCount(), uint64_t(kMaxUnitAttentionReissues + 1));
}

TEST(VirtualPath, NoDiscFailsAtOnce) {
  Rig rig("nodisc");
  uint8_t capacity[8];
  std::memset(capacity, 0xEE, sizeof capacity);
  EXPECT_EQ(TestUnitReady(rig.device, 0, 0, 0), -1);
  EXPECT_EQ(ReadCapacity(rig.device, 0, 0, 0, 8, capacity), -1);
  EXPECT_EQ(rig.drive->CommandCount(), 2u);
  for (uint8_t c : capacity) EXPECT_EQ(c, 0xEE);
  uint8_t geometry[24];
  EXPECT_EQ(rig.device.GetDriveGeometry(geometry), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kNotReady));
  // A drive without a disc still tells who it is.
  ScsiUnit unit;
  EXPECT_EQ(InquiryUnit(rig.device, 0, 0, 0, unit), 0);
  EXPECT_EQ(unit.InquiryLength(), 40u);
}

TEST(VirtualPath, ReadOnlyDiscRefusesWrites) {
  Rig rig("dvdrom");
  EXPECT_EQ(Write10(rig.device, 0, 0, 0, 0, 1, 2048, rig.buffer.data()), -1);
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 4171711, 1, 2048, rig.buffer.data()), 2048);
}

TEST(VirtualPath, ShortTransferAndVanishingDevice) {
  Rig rig;
  rig.drive->InjectShortTransfer(3000);
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 0, 4, 8192, rig.buffer.data()), 3000);
  rig.drive->InjectShortTransfer(3000);
  EXPECT_EQ(Write10(rig.device, 0, 0, 0, 0, 4, 8192, rig.buffer.data()), 2048);

  rig.drive->SetVanished(true);
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 0, 1, 2048, rig.buffer.data()), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kDeviceGone));
  rig.device.Close();
  EXPECT_EQ(rig.device.Open("\\\\.\\E:", kOpenSharedReadWrite), -1);
  rig.drive->SetVanished(false);
  EXPECT_EQ(rig.device.Open("\\\\.\\e:", kOpenSharedReadWrite), 0);
  EXPECT_EQ(TestUnitReady(rig.device, 0, 0, 0), 0);
}

TEST(VirtualPath, InjectedSenseFailsOneCommand) {
  Rig rig;
  rig.drive->InjectFailure(kSenseUnrecoveredReadError, 0x28);
  EXPECT_EQ(TestUnitReady(rig.device, 0, 0, 0), 0);
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 0, 1, 2048, rig.buffer.data()), -1);
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 0, 1, 2048, rig.buffer.data()), 2048);
}

TEST(VirtualPath, AlignmentDemandedByTheAdapterIsMet) {
  Rig rig;
  rig.drive->Face().alignmentMask = 0xFFF;
  EXPECT_EQ(Read10(rig.device, 0, 0, 0, 0, 1, 2048, rig.buffer.data() + 2), 2048);
  // The request as such is refused when its buffer is not aligned.
  PassThroughRequest request{};
  request.header.length = kRequestHeaderSize;
  request.header.cdbLength = 10;
  request.header.cdb[0] = 0x28;
  request.header.cdb[8] = 1;
  request.header.dataIn = kScsiDataIn;
  request.header.dataTransferLength = 2048;
  request.header.dataBuffer = reinterpret_cast<uintptr_t>(rig.buffer.data() + 2);
  request.header.senseInfoLength = kRequestSenseLength;
  request.header.senseInfoOffset = kRequestSenseOffset;
  EXPECT_EQ(rig.device.PassThroughDirect(request, kRequestHeaderSize, kRequestDataOffset), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kInvalidParameter));
}

TEST(VirtualPath, MalformedRequestsAreRefusedLikeADriverDoes) {
  Rig rig;
  struct Case {
    const char* name;
    std::function<void(PassThroughRequest&)> spoil;
    uint32_t outLength;
  };
  const Case cases[] = {
      {"wrong_length_field", [](PassThroughRequest& r) { r.header.length = 44 + 1; }, kRequestDataOffset + 8},
      {"cdb_length_0", [](PassThroughRequest& r) { r.header.cdbLength = 0; }, kRequestDataOffset + 8},
      {"cdb_length_17", [](PassThroughRequest& r) { r.header.cdbLength = 17; }, kRequestDataOffset + 8},
      {"data_past_output", [](PassThroughRequest&) {}, kRequestDataOffset + 4},
      {"sense_past_output", [](PassThroughRequest& r) { r.header.senseInfoOffset = kRequestDataOffset + 4; },
       kRequestDataOffset + 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PassThroughRequest request{};
    request.header.length = kRequestHeaderSize;
    request.header.cdbLength = 10;
    request.header.cdb[0] = 0x25;
    request.header.dataIn = kScsiDataIn;
    request.header.dataTransferLength = 8;
    request.header.dataBuffer = kRequestDataOffset;
    request.header.senseInfoLength = kRequestSenseLength;
    request.header.senseInfoOffset = kRequestSenseOffset;
    c.spoil(request);
    rig.drive->ClearCommandLog();
    EXPECT_EQ(rig.device.PassThrough(request, kRequestHeaderSize, c.outLength), -1);
    EXPECT_EQ(rig.drive->CommandCount(), 0u);
  }
}

TEST(VirtualPath, SenseComesBackWhereTheDriverPutsIt) {
  Rig rig("nodisc");
  PassThroughRequest request{};
  request.header.length = kRequestHeaderSize;
  request.header.cdbLength = 6;
  request.header.dataIn = kScsiDataIn;
  request.header.senseInfoLength = kRequestSenseLength;
  request.header.senseInfoOffset = kRequestSenseOffset;
  const int returned = rig.device.PassThrough(request, kRequestHeaderSize, kRequestDataOffset);
  EXPECT_EQ(returned, int(kRequestSenseOffset + kRequestSenseLength));
  EXPECT_EQ(request.header.scsiStatus, kScsiStatusCheckCondition);
  EXPECT_EQ(request.sense[0], 0x70);
  EXPECT_EQ(request.sense[2], 0x02);
  EXPECT_EQ(request.sense[7], 10);
  EXPECT_EQ(request.sense[12], 0x3A);
}

TEST(VirtualPort, PortFaceAndOtherPaths) {
  Rig rig("hdd");
  uint8_t address[8];
  ASSERT_EQ(rig.device.GetScsiAddress(address), 0);
  EXPECT_EQ(GetLe32(address), 8u);
  EXPECT_EQ(rig.device.GetFileType(), kFileTypeDisk);
  uint8_t geometry[24];
  ASSERT_EQ(rig.device.GetDriveGeometry(geometry), 0);
  EXPECT_EQ(DecodeDiskGeometry(geometry).bytesPerSector, 512u);
  EXPECT_STREQ(MediaTypeName(DecodeDiskGeometry(geometry).mediaType), "Fixed");
  EXPECT_EQ(rig.device.GetInquiryData(), nullptr);  // none configured: the scan falls back
  rig.drive->Face().adapterInquiry = {1, 0, 0, 0, 1, 7, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 5};
  auto inquiry = rig.device.GetInquiryData();
  ASSERT_NE(inquiry, nullptr);
  ASSERT_EQ(inquiry->buses.at(0).UnitCount(), 1u);
  EXPECT_EQ(inquiry->buses[0].units[0].inquiryData, std::vector<uint8_t>{5});

  EXPECT_EQ(rig.port->DriveType("E:\\"), kDriveFixed);
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
  ASSERT_NE(shared, kNoPortHandle);
  EXPECT_EQ(port->Open("\\\\.\\E:", kOpenExclusiveReadWrite), kNoPortHandle);
  EXPECT_EQ(port->LastError(), port->ErrorCode(PortError::kSharingViolation));
  const PortHandle second = port->Open("\\\\.\\E:", kOpenSharedReadWrite);
  EXPECT_NE(second, kNoPortHandle);
  port->Close(shared);
  port->Close(second);
  const PortHandle exclusive = port->Open("\\\\.\\E:", kOpenExclusiveReadWrite);
  ASSERT_NE(exclusive, kNoPortHandle);
  EXPECT_EQ(port->Open("\\\\.\\E:", kOpenSharedReadWrite), kNoPortHandle);
  EXPECT_EQ(port->Close(exclusive), 0);
  EXPECT_EQ(port->Close(exclusive), -1);
}

TEST(VirtualPort, ProgramPortFromTheVariable) {
  std::unique_ptr<DevicePort> port;
  std::string error;
  ASSERT_EQ(MakeProgramPort("F=dvdrom,H=nodisc", port, error), 0) << error;
  DeviceHandle device{std::move(port)};
  EXPECT_EQ(device.DriveType("H:\\"), kDriveCdrom);
  ASSERT_EQ(device.Open("\\\\.\\F:", kOpenSharedReadWrite), 0);
  uint8_t capacity[8];
  ASSERT_EQ(ReadCapacity(device, 0, 0, 0, 8, capacity), 0);
  EXPECT_EQ(GetBe32(capacity), 4171712u);

  EXPECT_EQ(MakeProgramPort("F=dvdrom,G=floppy", port, error), -1);
  EXPECT_NE(error.find("floppy"), std::string::npos);
  EXPECT_EQ(MakeProgramPort("", port, error), 0);
  EXPECT_NE(port, nullptr);
}

}  // namespace
}  // namespace orv::test

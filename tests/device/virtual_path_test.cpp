// The whole path: DeviceHandle -> command set -> virtual port (reading requests as a driver) -> virtual drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/fake_port.h"
#include "device/ports/pass_through_driver.h"
#include "device/ports/tracing_port.h"
#include "device/ports/virtual_port.h"
#include "vdrive/drive_config.h"

namespace orv::test {
namespace {

struct Rig {
  VirtualPort* port = new VirtualPort(std::make_unique<FakePort>());
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
  std::shared_ptr<VirtualDrive> drive;
  PageBuffer buffer{1 << 20};

  explicit Rig(const char* preset = "dvdram") : drive(MakeVirtualDrive(*FindDrivePreset(preset))) {
    port->AddDrive('E', drive);
    EXPECT_EQ(device.Open("\\\\.\\E:", kOpenSharedReadWrite), 0);
  }
};

TEST(VirtualPath, NoDiscFailsAtOnceWithItsSenseWhereTheDriverPutsIt) {
  Rig rig("nodisc");  // one attempt only: CommandSet.UnitAttentionIsReissuedAndEverythingElseFails
  uint8_t geometry[24];
  EXPECT_EQ(rig.device.GetDriveGeometry(geometry), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kNotReady));
  PassThroughRequest request = Request(0x00, 6, 0);
  EXPECT_EQ(rig.device.PassThrough(request, kRequestHeaderSize, kRequestDataOffset),
            int(kRequestSenseOffset + kRequestSenseLength));
  EXPECT_EQ(request.header.scsiStatus, kScsiStatusCheckCondition);
  EXPECT_EQ((std::vector<uint8_t>{request.sense[0], request.sense[2], request.sense[7], request.sense[12]}),
            (std::vector<uint8_t>{0x70, 0x02, 10, 0x3A}));
}

// A short write counts whole blocks only.
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

// Which requests are malformed is PassThroughDriver.CheckRefusesWhatNoDriverTakes; here, that the
// port asks the check with the drive's alignment, fails like a driver and never reaches the drive.
TEST(VirtualPath, MalformedRequestsAreRefusedLikeADriverDoes) {
  Rig rig;
  rig.drive->Face().alignmentMask = 0xFFF;
  PassThroughRequest request = Request(0x28, 10, 2048);
  request.header.cdb[8] = 1;
  request.header.dataBuffer = reinterpret_cast<uintptr_t>(rig.buffer.data() + 2);
  EXPECT_EQ(rig.device.PassThroughDirect(request, kRequestHeaderSize, kRequestDataOffset), -1);
  EXPECT_EQ(rig.device.LastError(), rig.port->ErrorCode(PortError::kInvalidParameter));
  EXPECT_EQ(rig.drive->CommandCount(), 0u);
}

TEST(VirtualPort, OtherPathsAndLettersReachTheOsPort) {
  Rig rig("hdd");
  EXPECT_EQ(rig.port->DriveType("e:\\"), kDriveFixed);
  EXPECT_EQ(rig.port->DriveType("F:\\"), kDriveCdrom);  // from the OS port
  const auto candidates = rig.port->DriveCandidates();
  ASSERT_EQ(candidates.size(), 1u);  // the OS port's E: is replaced by the virtual one
  EXPECT_EQ(candidates[0].path, "\\\\.\\E:");
  DeviceHandle other{std::make_unique<VirtualPort>(std::make_unique<FakePort>())};
  EXPECT_EQ(other.Open("\\\\.\\PhysicalDrive0", kOpenSharedReadWrite), 0);
  EXPECT_EQ(other.GetFileType(), kFileTypeDisk);
  EXPECT_EQ(other.Close(), 0);
  EXPECT_EQ(other.Open("missing", kOpenSharedReadWrite), -1);
  EXPECT_EQ(other.LastError(), 2u);
}

// The driver's rules both non-Windows ports follow: the header that comes back and the bytes returned.
TEST(PassThroughDriver, BytesReturnedEndAtTheDataInElseTheSenseElseTheHeader) {
  const struct {
    const char* name;
    bool direct;
    uint8_t dataIn;
    uint32_t asked, moved, sense;
    uint32_t returned, transferLength, senseLength;
  } cases[] = {
      {"moved_is_never_more_than_asked", false, kScsiDataIn, 8, 100, 0, kRequestDataOffset + 8, 8, 0},
      {"unspecified_direction_reads", false, kScsiDataUnspecified, 8, 8, 0, kRequestDataOffset + 8, 8, 0},
      {"data_in_and_sense", false, kScsiDataIn, 8, 2, 14, kRequestDataOffset + 2, 2, 14},
      {"sense_cut_to_the_room", false, kScsiDataIn, 0, 0, 18, kRequestSenseOffset + 14, 0, 14},
      {"buffered_data_out", false, kScsiDataOut, 8, 8, 0, kRequestHeaderSize, 8, 0},
      {"direct_data_in_stays_in_the_callers_buffer", true, kScsiDataIn, 8, 8, 0, kRequestHeaderSize, 8, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PassThroughRequest r = Request(0x28, 10, c.asked, c.dataIn);
    EXPECT_EQ(CompletePassThrough(reinterpret_cast<uint8_t*>(&r), c.direct, 0x02, c.moved, c.sense), c.returned);
    EXPECT_EQ((std::vector<uint32_t>{r.header.scsiStatus, r.header.dataTransferLength, r.header.senseInfoLength}),
              (std::vector<uint32_t>{0x02, c.transferLength, c.senseLength}));
  }
}

// Each row spoils a buffered READ CAPACITY (8 bytes in); every port reads requests through this check.
TEST(PassThroughDriver, CheckRefusesWhatNoDriverTakes) {
  struct Form {
    PassThroughRequest r = Request();
    uint32_t in = kRequestHeaderSize, out = kRequestDataOffset + 8;
    bool direct = false;
  };
  alignas(16) static uint8_t data[32];
  const std::pair<const char*, void (*)(Form&)> cases[] = {
      {"input_shorter_than_the_header", [](Form& f) { f.in = kRequestHeaderSize - 1; }},
      {"wrong_length_field", [](Form& f) { f.r.header.length = kRequestHeaderSize + 1; }},
      {"cdb_length_0", [](Form& f) { f.r.header.cdbLength = 0; }},
      {"cdb_length_17", [](Form& f) { f.r.header.cdbLength = 17; }},
      {"sense_past_output", [](Form& f) { f.r.header.senseInfoOffset = kRequestDataOffset + 4; }},
      {"sense_inside_the_header", [](Form& f) { f.r.header.senseInfoOffset = 4; }},
      {"data_past_output", [](Form& f) { f.out = kRequestDataOffset + 7; }},
      {"data_offset_inside_the_header", [](Form& f) { f.r.header.dataBuffer = 4; }},
      {"buffered_data_out_not_in_the_input", [](Form& f) { f.r.header.dataIn = kScsiDataOut; f.out = kRequestSize; }},
      {"direct_null_buffer", [](Form& f) { f.direct = true; f.r.header.dataBuffer = 0; }},
      {"direct_unaligned_buffer",
       [](Form& f) { f.direct = true; f.r.header.dataBuffer = reinterpret_cast<uintptr_t>(data + 2); }},
  };
  for (const auto& [name, spoil] : cases) {
    Form f;
    spoil(f);
    CheckedPassThrough checked;
    EXPECT_EQ(CheckPassThrough(reinterpret_cast<uint8_t*>(&f.r), f.in, f.out, f.direct, 0xF, checked), -1) << name;
  }
}

// A trace records what the updated header says moved, though the driver counted only the header as returned.
TEST(PassThroughDriver, TraceTakesMovedDataAndSenseFromTheUpdatedHeader) {
  const std::vector<uint8_t> answer = {0x05, 0x80, 0x05, 0x32, 0x5B, 0, 0, 0x10};
  const std::vector<uint8_t> sense = {0x70, 0, 0x02, 0, 0, 0, 0, 0x06, 0, 0, 0, 0, 0x3A, 0};
  const auto headerOnly = [](FakeReply r) { return r.returned = kRequestHeaderSize, r; };
  FakeReply checkCondition = CheckCondition(0x02, 0x3A, 6);
  checkCondition.moved = 0;
  const struct {
    const char* name;
    bool direct;
    FakeReply reply;
    uint32_t moved;
    std::vector<uint8_t> received, sense;
  } cases[] = {
      {"buffered_short", false, headerOnly(Data(answer, 5)), 5, {answer.begin(), answer.begin() + 5}, {}},
      {"direct", true, headerOnly(Data(answer)), 8, answer, {}},
      {"sense", false, headerOnly(checkCondition), 0, {}, sense},
  };
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "orv-pass-through-trace.jsonl";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    auto file = TraceFile::Create(path, TraceHeader{kTraceVersion, "windows", false}, error);
    ASSERT_NE(file, nullptr) << error;
    auto fake = std::make_unique<FakePort>();
    fake->replies = {c.reply};
    auto port = MakeTracingPort(std::move(fake), file, false);
    PassThroughRequest r = Request(0x12, 6, 8, kScsiDataIn);
    alignas(16) uint8_t directData[8] = {};
    if (c.direct) r.header.dataBuffer = reinterpret_cast<uintptr_t>(directData);
    const uint32_t outLength = c.direct ? kRequestDataOffset : kRequestDataOffset + 8;
    uint32_t returned = 0;
    ASSERT_TRUE(port->IoControl(77, c.direct ? kIoctlScsiPassThroughDirect : kIoctlScsiPassThrough, &r,
                                kRequestHeaderSize, &r, outLength, &returned));
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    TraceEvent e;
    ASSERT_EQ(ParseTraceEvent(last, e, error), 0) << error;
    EXPECT_EQ(e.moved, c.moved);
    EXPECT_EQ(e.received, c.received);
    EXPECT_EQ(e.sense, c.sense);
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace orv::test

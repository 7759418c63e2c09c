// The Linux port without a drive: a request into SG_IO and back, and the candidate list from a sysfs tree.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "device/fake_port.h"
#include "device/ports/linux_drives.h"
#include "device/ports/linux_sg.h"

namespace orv::test {
namespace {

uint8_t* Bytes(PassThroughRequest& r) { return reinterpret_cast<uint8_t*>(&r); }

// Timeout seconds to milliseconds, never overflowing; data after the header (buffered) or the caller's (direct).
TEST(LinuxSg, RequestBecomesSgIo) {
  uint8_t data[512];
  const struct {
    bool direct;
    uint8_t dataIn;
    uint32_t length, timeout;
    int direction;
    unsigned timeoutMs;
  } cases[] = {
      {false, kScsiDataIn, 8, 10, SG_DXFER_FROM_DEV, 10000},
      {false, kScsiDataIn, 8, 0xFFFFFFFF, SG_DXFER_FROM_DEV, 0xFFFFFFFF},
      {true, kScsiDataOut, 512, 10, SG_DXFER_TO_DEV, 10000}, {true, kScsiDataIn, 512, 10, SG_DXFER_FROM_DEV, 10000},
      {true, kScsiDataOut, 0, 10, SG_DXFER_NONE, 10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.direct << " " << int(c.dataIn) << " " << c.length << " " << c.timeout);
    PassThroughRequest r = Request(0x28, 10, c.length, c.dataIn);
    r.header.timeOutValue = c.timeout;
    if (c.direct) r.header.dataBuffer = reinterpret_cast<uintptr_t>(data);
    sg_io_hdr_t io;
    const uint32_t outLength = kRequestDataOffset + (c.direct ? 0 : c.length);
    ASSERT_EQ(BuildSgIo(Bytes(r), kRequestHeaderSize, outLength, c.direct, io), 0);
    EXPECT_EQ((std::vector<uint64_t>{uint64_t(io.interface_id), io.cmd_len, io.mx_sb_len, io.dxfer_len,
                                     io.timeout}),
              (std::vector<uint64_t>{'S', 10, kRequestSenseLength, c.length, c.timeoutMs}));
    EXPECT_EQ(io.dxfer_direction, c.direction);
    EXPECT_EQ(io.cmdp, r.header.cdb);
    EXPECT_EQ(io.sbp, r.sense);
    if (c.length != 0) {
      EXPECT_EQ(io.dxferp, c.direct ? data : r.data);
    }
  }
  // What the driver rules refuse (PassThroughDriver.CheckRefusesWhatNoDriverTakes) is EINVAL.
  PassThroughRequest r = Request();
  r.header.cdbLength = 17;
  sg_io_hdr_t io;
  EXPECT_EQ(BuildSgIo(Bytes(r), kRequestHeaderSize, kRequestDataOffset + 8, false, io), EINVAL);
}

TEST(LinuxSg, OutcomeComesBackLikeTheWindowsDriverFillsIt) {
  PassThroughRequest r = Request();
  sg_io_hdr_t io;
  ASSERT_EQ(BuildSgIo(Bytes(r), kRequestHeaderSize, kRequestDataOffset + 8, false, io), 0);
  io.status = 0x02;
  io.sb_len_wr = 18;  // more than the request has room for
  io.resid = 3;
  uint32_t returned = 0;
  ASSERT_EQ(CompleteSgIo(io, Bytes(r), false, returned), 0);
  EXPECT_EQ(r.header.scsiStatus, 0x02);
  EXPECT_EQ(r.header.dataTransferLength, 5u);
  EXPECT_EQ(r.header.senseInfoLength, kRequestSenseLength);
  EXPECT_EQ(returned, kRequestDataOffset + 5);

  // A host or driver error fails the call; DRIVER_SENSE (08h) only says sense is present.
  for (const auto& [host, driver, rc] : {std::tuple{1, 0, EIO}, {0, 6, EIO}, {0, 0x08, 0}}) {
    sg_io_hdr_t outcome = io;
    outcome.host_status = static_cast<unsigned short>(host);
    outcome.driver_status = static_cast<unsigned short>(driver);
    EXPECT_EQ(CompleteSgIo(outcome, Bytes(r), false, returned), rc) << host << " " << driver;
  }
}

TEST(LinuxDrives, DisksThenOpticalDrivesLetteredFromC) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("orv-sysfs-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  auto make = [&](const std::string& name, int type, int removable) {
    std::filesystem::create_directories(root / name / "device");
    std::ofstream(root / name / "device" / "type") << type << "\n";
    std::ofstream(root / name / "removable") << removable << "\n";
  };
  for (const auto& [name, type, removable] : {std::tuple{"sr0", 5, 1}, {"sdb", 0, 1}, {"sda", 0, 0}, {"sdaa", 0, 0},
                                              {"loop0", 0, 0}, {"nvme0n1", 0, 0}})
    make(name, type, removable);
  std::string listed;
  for (const auto& drive : ListLinuxDrives(root, "/dev"))
    listed += std::string(1, drive.letter) + "=" + drive.path + " ";
  EXPECT_EQ(listed, "C=/dev/sda D=/dev/sdb E=/dev/sdaa F=/dev/sr0 ");
  for (const auto& [name, type] : {std::pair{"sr0", 5u}, {"sdb", 2u}, {"sda", 3u}, {"sdq", 1u}})
    EXPECT_EQ(LinuxDriveType(root, name), type) << name;
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace orv::test

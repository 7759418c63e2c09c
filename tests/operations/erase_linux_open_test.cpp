// On Linux the exclusive open is O_EXCL, which the kernel refuses (EBUSY) while anything else
// holds the block device exclusively, a mounted file system of it included. That refusal must
// reach the erase's shared-mode question, as a device in use does on Windows. An unused loop
// device stands in for the drive; the question is answered No, so nothing is ever written.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>

#include "erase_rig.h"

#include "operations/erase_with_backup.h"
#include "operations/write_target.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {
namespace {

// An unbound loop device (size 0: no file behind it, so nobody's data), held exclusively by this
// process; -1 when none can be had.
int HoldUnusedLoopDevice(std::string& path) {
  for (int n = 7; n >= 0; --n) {
    std::ifstream size("/sys/block/loop" + std::to_string(n) + "/size");
    unsigned long long sectors = 1;
    if (!(size >> sectors) || sectors != 0) continue;
    path = "/dev/loop" + std::to_string(n);
    const int fd = ::open(path.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    if (fd >= 0) return fd;
  }
  return -1;
}

TEST(EraseOnLinux, AnExclusivelyHeldDeviceBringsTheSharedModeQuestion) {
  std::string path;
  const int held = HoldUnusedLoopDevice(path);
  if (held < 0) GTEST_SKIP() << "no unused loop device to hold";
  DriveList drives(MakeOsPort());
  DriveRecord record;
  record.sourceKind = kSourceDevicePath;
  record.name = path;
  record.path = path;
  ScriptedUi ui;
  ui.QueueAnswer(kIdNo);  // no backup
  ui.QueueAnswer(kIdNo);  // do not share
  EraseReport report;
  EXPECT_EQ(EraseWithBackup(ui, drives, record, {}, &report), -1);
  EXPECT_EQ(report.end, EraseEnd::kNotOpened);
  EXPECT_EQ(drives.Device().LastError(), static_cast<uint32_t>(EBUSY));
  const auto boxes = ui.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].box.text, kSharedModeQuestion);
  EXPECT_FALSE(drives.Device().IsOpen());
  ::close(held);
}

// A file system that takes no more bytes (here the process's file size limit, which fails a
// write as a full disk does): the backup fails with the system's reason, the disc as it was,
// nothing left beside the chosen name.
TEST(EraseOnLinux, ABackupThatCannotBeWrittenOutSaysTheSystemsReason) {
  const std::filesystem::path dir = TempDir("erase-linux-full");
  EraseRig rig(dir / "disc.img", 100, 2048);
  const Bytes before = rig.Disc();
  ScriptedUi ui;
  for (uint32_t answer : {kIdYes, kIdYes}) ui.QueueAnswer(answer);
  ui.QueueFile(dir / "backup.ovi");
  rlimit saved{}, small{16 * 1024, RLIM_INFINITY};  // the backup of 100 sectors of noise: about 200 KiB
  ::getrlimit(RLIMIT_FSIZE, &saved);
  small.rlim_max = saved.rlim_max;
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EraseReport report;
  EraseWithBackup(ui, rig.List(), rig.Record(), {}, &report);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(report.end, EraseEnd::kBackupFailed);
  EXPECT_TRUE(report.failure.ends_with("\r\n    File too large")) << report.failure;
  EXPECT_TRUE(rig.Disc() == before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // the disc alone
}

}  // namespace
}  // namespace orv::test

// On Linux the exclusive open is O_EXCL, which the kernel refuses (EBUSY) while anything else
// holds the block device exclusively, a mounted file system of it included. That refusal must
// reach the erase's shared-mode question, as a device in use does on Windows. An unused loop
// device stands in for the drive; the question is answered No, so nothing is ever written.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>

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

}  // namespace
}  // namespace orv::test

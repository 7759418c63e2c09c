// The port both front ends build: lists in order, faults named by origin, OS drives left alone, timing.
#include "app/program_port.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "device/device_handle.h"
#include "device/ports/virtual_port.h"

namespace orv {
namespace {

// The list's own faults are DriveConfig's (test_vdrive); the port names the list they came from.
TEST(ProgramPort, AFaultNamesTheListItCameFromAndMakesNoPort) {
  ProgramPortSettings settings;
  settings.virtualDrives = {{"ORVANE_VIRTUAL_DRIVES", "E=hdd"}, {"--virtual", "F=dvdrom,G=floppy"}};
  settings.virtualOnly = true;
  std::unique_ptr<DevicePort> port;
  std::string error;
  EXPECT_EQ(MakeProgramPort(settings, port, error), -1);
  EXPECT_EQ(error.rfind("--virtual: entry 2 \"G=floppy\": unknown preset \"floppy\"", 0), 0u) << error;
  EXPECT_EQ(port, nullptr);
}

TEST(ProgramPort, VirtualOnlyListsTheListsDrivesAndALaterListWins) {
  ProgramPortSettings settings;
  settings.virtualDrives = {{"ORVANE_VIRTUAL_DRIVES", "E=dvdrom,H=nodisc"}, {"--virtual", "E=hdd,F=dvdrom"}};
  settings.virtualOnly = true;
  settings.timing = true;
  std::unique_ptr<DevicePort> port;
  std::string error;
  ASSERT_EQ(MakeProgramPort(settings, port, error), 0) << error;
  std::string letters;
  for (const DriveCandidate& candidate : port->DriveCandidates()) letters += candidate.letter;
  EXPECT_EQ(letters, "EFH");
  auto* virtualPort = dynamic_cast<VirtualPort*>(port.get());
  ASSERT_NE(virtualPort, nullptr);
  EXPECT_EQ(virtualPort->Drive('E')->Preset().name, std::string("hdd"));
  EXPECT_TRUE(virtualPort->Drive('F')->TimingEnabled());
  DeviceHandle device{std::move(port)};
  EXPECT_EQ(device.DriveType("H:\\"), kDriveCdrom);
  EXPECT_EQ(device.Open("\\\\.\\Q:", kOpenSharedReadWrite), -1);  // no OS drive behind it
}

}  // namespace
}  // namespace orv

// The port both front ends build: virtual drive lists in order, their faults named by origin,
// the computer's own drives left alone on request, the timing model passed to every drive.
#include "app/program_port.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "device/device_handle.h"
#include "device/ports/virtual_port.h"

namespace orv {
namespace {

TEST(ProgramPort, AFaultNamesTheListItCameFromAndMakesNoPort) {
  const struct {
    std::vector<VirtualDriveList> lists;
    const char* error;  // the start of the message
  } cases[] = {
      {{{"ORVANE_VIRTUAL_DRIVES", "E=bogus"}}, "ORVANE_VIRTUAL_DRIVES: entry 1 \"E=bogus\": unknown preset \"bogus\""},
      {{{"ORVANE_VIRTUAL_DRIVES", "E=hdd"}, {"--virtual", "F=dvdrom,G=floppy"}},
       "--virtual: entry 2 \"G=floppy\": unknown preset \"floppy\""},
      {{{"--virtual", "E=hdd,E=dvdram"}}, "--virtual: entry 2 \"E=dvdram\": drive E: is configured twice"},
      {{{"--virtual", "H=nodisc:/tmp/x.img"}},
       "--virtual: entry 1 \"H=nodisc:/tmp/x.img\": preset \"nodisc\" has no disc"},
  };
  for (const auto& c : cases) {
    ProgramPortSettings settings;
    settings.virtualDrives = c.lists;
    settings.virtualOnly = true;
    std::unique_ptr<DevicePort> port;
    std::string error;
    EXPECT_EQ(MakeProgramPort(settings, port, error), -1) << c.error;
    EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error);
    EXPECT_EQ(port, nullptr) << c.error;
  }
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

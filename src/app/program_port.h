// The one place that builds the port both front ends talk through: the computer's own drives
// (or none of them), with the virtual drives of ORVANE_VIRTUAL_DRIVES and of the console's
// --virtual in front of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/ports/device_port.h"

namespace orv {

// One list of virtual drives ("E=dvdram:/tmp/disc.img,F=dvdrom") and where it came from, the
// name a fault in it is reported under ("ORVANE_VIRTUAL_DRIVES", "--virtual").
struct VirtualDriveList {
  std::string origin;
  std::string value;
};

struct ProgramPortSettings {
  // In order; a drive letter of a later list replaces the same letter of an earlier one.
  std::vector<VirtualDriveList> virtualDrives;
  // The computer's own drives are left alone: only virtual drives are listed and opened.
  bool virtualOnly = false;
  // The virtual drives take real-drive timings (ORVANE_VIRTUAL_TIMING=1).
  bool timing = false;
};

// Adds ORVANE_VIRTUAL_DRIVES, when it is set, as a list of that origin.
void AddEnvironmentDrives(ProgramPortSettings& settings);
// Reads ORVANE_VIRTUAL_TIMING into `settings.timing`. 0, or -1 with a message when it is
// neither unset, "0" nor "1".
int ReadEnvironmentTiming(ProgramPortSettings& settings, std::string& error);

// The OS port (a port that opens nothing with `virtualOnly`), behind a virtual port holding the
// lists' drives when there are any; a missing image file is created. 0, or -1 with a message
// (CP932 text) and no port: a list's fault is reported as "ORIGIN: entry N ...", an image that
// cannot be opened as "ORVANE_VIRTUAL_DRIVES: drive E: ...".
int MakeProgramPort(const ProgramPortSettings& settings, std::unique_ptr<DevicePort>& port, std::string& error);

}  // namespace orv

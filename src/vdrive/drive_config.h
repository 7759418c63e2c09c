// Virtual drives for the programs, configured by the environment variable
// ORVANE_VIRTUAL_DRIVES: comma-separated LETTER=PRESET[:IMAGE], for example
// "E=dvdram:/tmp/disc.img,F=dvdrom,G=hdd:/tmp/disk.img,H=nodisc". Without an image the medium
// lives in memory; a missing image file is created sparse at the preset's size; an existing
// one gives the medium its size. "replay:TRACE" is a drive answering from a command trace
// (vdrive/replay_drive.h). Media faults may follow, each behind a ':'
// ("E=dvdram:disc.img:bad=1000+16:slow=5000+200+40", or on a memory disc "E=dvdram:bad=7+1"; see
// vdrive/medium_faults.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/medium_faults.h"
#include "vdrive/virtual_drive.h"

namespace orv {

inline constexpr const char* kVirtualDrivesVariable = "ORVANE_VIRTUAL_DRIVES";
// "1" turns the timing model of every virtual drive on (for demos); "0" or unset leaves it off.
inline constexpr const char* kVirtualTimingVariable = "ORVANE_VIRTUAL_TIMING";

struct VirtualDriveSpec {
  char letter = 0;     // 'A'-'Z'
  std::string preset;  // a DrivePreset name, or kReplayPreset
  std::string image;   // image file path, "" for memory; the trace of kReplayPreset
  std::vector<MediumFault> faults{};  // in the order written
};

class ReplayGaps;

// Parses the whole value; 0, or -1 with a message naming the faulty entry (nothing is kept
// from a value with any fault). An empty value is no drives.
int ParseVirtualDriveSpecs(std::string_view text, std::vector<VirtualDriveSpec>& driveSpecs, std::string& error);

// Reads the value of ORVANE_VIRTUAL_TIMING: 0 with `enabled` set, or -1 with a message.
int ParseVirtualTiming(std::string_view text, bool& enabled, std::string& error);

// Builds the drive of one entry (creating its image file when missing); null with a message. A
// replayed drive's list of what its trace did not answer goes to `gaps` when it is given.
std::unique_ptr<VirtualDrive> MakeVirtualDrive(const VirtualDriveSpec& driveSpec, std::string& error,
                                               std::shared_ptr<const ReplayGaps>* gaps = nullptr);

// A drive of a preset with a memory medium, for tests.
std::unique_ptr<VirtualDrive> MakeVirtualDrive(const DrivePreset& preset);

}  // namespace orv

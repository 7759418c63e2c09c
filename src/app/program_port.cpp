#include "app/program_port.h"

#include <cstdlib>

#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "vdrive/drive_config.h"

namespace orv {

void AddEnvironmentDrives(ProgramPortSettings& settings) {
  if (const char* drives = std::getenv(kVirtualDrivesVariable))
    settings.virtualDrives.push_back({kVirtualDrivesVariable, drives});
}

int ReadEnvironmentTiming(ProgramPortSettings& settings, std::string& error) {
  const char* value = std::getenv(kVirtualTimingVariable);
  return ParseVirtualTiming(value != nullptr ? value : "", settings.timing, error);
}

int MakeProgramPort(const ProgramPortSettings& settings, std::unique_ptr<DevicePort>& port, std::string& error) {
  std::vector<VirtualDriveSpec> driveSpecs;
  for (const VirtualDriveList& list : settings.virtualDrives) {
    std::vector<VirtualDriveSpec> parsed;
    if (ParseVirtualDriveSpecs(list.value, parsed, error) != 0) {
      // The parser names the variable; the list may have come from elsewhere.
      const std::string prefix = std::string(kVirtualDrivesVariable) + ": ";
      if (error.compare(0, prefix.size(), prefix) == 0) error.erase(0, prefix.size());
      error = list.origin + ": " + error;
      return -1;
    }
    driveSpecs.insert(driveSpecs.end(), parsed.begin(), parsed.end());
  }

  std::unique_ptr<DevicePort> made = MakeOsPort();
  if (settings.virtualOnly) made = MakeClosedPort(std::move(made));
  if (!driveSpecs.empty()) {
    auto virtualPort = std::make_unique<VirtualPort>(std::move(made));
    for (const VirtualDriveSpec& driveSpec : driveSpecs) {
      std::shared_ptr<VirtualDrive> drive = MakeVirtualDrive(driveSpec, error);
      if (!drive) return -1;
      drive->SetTimingEnabled(settings.timing);
      virtualPort->AddDrive(driveSpec.letter, std::move(drive));
    }
    made = std::move(virtualPort);
  }
  port = std::move(made);
  return 0;
}

}  // namespace orv

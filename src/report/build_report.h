// Gathering the drive information report from a drive: the capacity section, then the mode
// sense, configuration and DVD structure gatherers, each appending its sections in turn.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"
#include "report/report.h"

namespace orv {

// What the report needs of the chosen drive: its name as the drive list shows it, its SCSI
// unit (address and standard INQUIRY data) and its 8-byte READ CAPACITY field.
struct ReportDriveInfo {
  std::string_view name;
  const ScsiUnit& unit;
  std::span<const uint8_t> capacity;
};

// Empties the report, sets its identification line and runs every gatherer against the drive
// open in `device`. 0 when all gatherers ran; -1 when memory ran out (sections made before
// stay). A gatherer whose drive command fails only leaves its sections out.
int BuildDriveReport(DriveReport& report, DeviceHandle& device, const ReportDriveInfo& drive);

// The gatherers, in report order. Each returns 0, or -1 when its first command fails.
void AddCapacityGeometrySection(DriveReport& report, DeviceHandle& device, std::span<const uint8_t> capacity);
int AddModeSenseSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit);
int AddConfigurationSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit);
int AddDvdStructureSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit, uint32_t blockLength);

}  // namespace orv

// Gathering the drive information report from a drive: the capacity section, then the mode
// sense, configuration and DVD structure gatherers, each appending its sections in turn.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"
#include "device/drive_list.h"
#include "report/report.h"

namespace orv {

class Ui;

// Empties the report, sets its identification line from the record's name and INQUIRY data and
// runs every gatherer against the drive open in `device`, addressed by the record's unit. 0
// when all gatherers ran; -1 when memory ran out (sections made before stay). A gatherer whose
// drive command fails only leaves its sections out.
int BuildDriveReport(DriveReport& report, DeviceHandle& device, const DriveRecord& drive);

// What the program does when the user asks for a drive's report: opens the drive (shared read
// and write), then builds the report on a worker thread behind a progress box
// ("デバイス情報を取得しています。") that the user may cancel; cancelling does not interrupt the
// drive commands, it only discards the report once they are done. 0 with the report built; 1
// when cancelled (the report is then empty); -1 when the drive cannot be opened or the box
// cannot be shown.
int GatherDriveReport(Ui& ui, DriveReport& report, DeviceHandle& device, const DriveRecord& drive);

// The two halves of GatherDriveReport, for a front end that shows something between them (the
// report window appears, empty, once the drive is open and before the box).
// Closes whatever `device` holds and opens the record's drive with shared read and write. 0 or -1.
int OpenReportDrive(DeviceHandle& device, const DriveRecord& drive);
// The gathering behind the progress box, on the drive already open in `device`; results as
// GatherDriveReport's, -1 only when the box cannot be shown.
int GatherOpenDriveReport(Ui& ui, DriveReport& report, DeviceHandle& device, const DriveRecord& drive);

// The gatherers, in report order. Each returns 0, or -1 when its first command fails.
void AddCapacityGeometrySection(DriveReport& report, DeviceHandle& device, std::span<const uint8_t> capacity);
int AddModeSenseSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit);
int AddConfigurationSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit);
int AddDvdStructureSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit, uint32_t blockLength);

}  // namespace orv

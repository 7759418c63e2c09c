// The information pane text of one drive: name and identification, capacity, and the partition
// table when the medium carries one. Lines end in CR LF.
#pragma once

#include <string>

#include "device/drive_list.h"
#include "device/partition_table.h"

namespace orv {

// The text from what was read: `partitionResult` is ReadPartitions' result for `partitions`
// (no partition lines when it is below 1). A record without capacity gives the first line only.
std::string DriveSummaryText(const DriveRecord& record, int partitionResult,
                             const PartitionList& partitions);

// Reads the partition table of the record's drive through `device` (only when the record has a
// capacity): ReadPartitions' result, or -1 without a capacity. The device is left closed.
int ReadSummaryPartitions(DeviceHandle& device, const DriveRecord& record, PartitionList& partitions);

// Reads the partition table of the record's drive through `device` and returns the text. The
// device is left closed. The command state that goes with the text is CommandState(&record).
std::string DriveSummary(DeviceHandle& device, const DriveRecord& record);

}  // namespace orv

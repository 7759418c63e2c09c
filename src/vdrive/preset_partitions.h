// The partition tables a new virtual medium gets, so that a fresh virtual drive looks like one
// that has been in use: the hard disk has two primary partitions and an extended one holding two
// logical drives; the DVD-RAM disc one FAT32 partition, as a disc formatted on a PC.
#pragma once

#include "vdrive/medium.h"
#include "vdrive/presets.h"

namespace orv {

// Writes the preset's tables (and a volume boot sector at the start of each data partition)
// onto `medium`. Presets without a layout ("dvdrom", "nodisc") and read-only media are left
// alone. 0, or -1 when a write fails.
int WritePresetPartitions(const DrivePreset& preset, Medium& medium);

}  // namespace orv

// The erase's backup: the sectors about to be zeroed, copied into an ".ovi" image file as one
// LH5 block per region, each header naming its first sector so that the image write puts it back
// where it came from.
//
// The backup is the only copy of what the erase destroys, so it counts as made only when it is
// whole on the disk: it is written to a temporary file beside the chosen path, read back (every
// block decoded, its sizes and CRC checked, its bytes compared with the sectors read from the
// disc), forced to the disk and only then renamed onto the chosen name. Until then a file the
// user already had under that name keeps its bytes; on any failure only the temporary goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device/drive_list.h"
#include "operations/erase_pass.h"
#include "operations/erase_regions.h"
#include "toolkit/ui.h"

namespace orv {

// Called with the written temporary file after it was closed and before it is read back (tests
// damage it there).
using BeforeReadBack = std::function<void(const std::filesystem::path& temporary)>;

// Reads the erase regions of `record` (through the open `device`, one sector per READ(10), in
// ascending order) into the backup at `path`. 0 when the backup is complete under `path`; -1
// with `failure` holding the text for the user, nothing left under `path` that was not there
// before, and the disc only read.
int SaveEraseBackup(DeviceHandle& device, const DriveRecord& record, const std::filesystem::path& path,
                    ErasePass& pass, std::string& failure, const BeforeReadBack& beforeReadBack = {});

// Reads the image file at `path` back and compares it with what the backup of `regions` must
// hold: one block per region in order, each with the region's first sector, sector count and
// `sectorSize`, decoding without fault to exactly the region's bytes of `sectors` (all regions'
// sectors one after another); the file complete after the last block. 0 when it does.
int CheckEraseBackup(const std::filesystem::path& path, uint32_t sectorSize, const std::vector<EraseRegion>& regions,
                     const std::vector<uint8_t>& sectors);

// Why a path cannot take the backup, checked before the drive is opened: the backup is renamed
// onto its path, so a path naming the disc's own image file would replace the disc by its
// backup, and one naming a device would write over whatever that device holds.
enum class BackupPathFault {
  kNone,      // missing, or a plain file of its own (which the backup replaces)
  kDisc,      // the file that holds the disc (the same device and inode, by any name or link)
  kDevice,    // a device node: the drive itself or any other
  kFolder,
  kNotAFile,  // a pipe, a socket or the like
};
// `discFile`: the plain file holding the disc (a virtual drive's image), empty for a real drive.
BackupPathFault CheckBackupPath(const std::filesystem::path& path, const std::filesystem::path& discFile);

// The path as the program's text, for a failure message.
std::string PathText(const std::filesystem::path& path);

}  // namespace orv

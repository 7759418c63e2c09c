// What the drive list shows for a record and which drive commands a chosen record allows. The
// Windows list view and the console's `scan` both show exactly these texts.
#pragma once

#include <cstdint>
#include <string>

#include "device/drive_list.h"

namespace orv {

// Cell placement values of the list (attribute b of a grid list cell): 1 centres the text,
// 41h aligns it left; both centre it vertically.
inline constexpr uint32_t kCellCentred = 0x01;
inline constexpr uint32_t kCellLeft = 0x41;

struct DriveListColumn {
  uint32_t widthChars;  // in average character widths of the list font
  uint32_t placement;
};
// Name, identification, device or drive type, RMB/FIX, size.
inline constexpr DriveListColumn kDriveListColumns[5] = {
    {7, kCellCentred}, {31, kCellLeft}, {23, kCellLeft}, {4, kCellLeft}, {8, kCellLeft},
};

// The five cell texts of one row.
struct DriveRowText {
  std::string name;
  std::string identification;
  std::string type;
  std::string removable;
  std::string size;
};

// The name of a GetDriveTypeA value: "Removable Drive", "Fixed Drive", "Remove/Network Drive",
// "CD/DVD-ROM Drive", "RAM DISK Drive"; "" for anything else.
const char* DriveTypeText(uint32_t driveType);

// Column 2: a device that states a SCSI version (either low bit of inquiry byte 2) shows its
// peripheral device type name; an ATAPI drive (version 0) shows the system's drive type.
std::string DeviceOrDriveTypeText(const DriveRecord& record);

// "RMB" when the removable-medium bit (inquiry byte 1, bit 7) is set, else "FIX".
const char* RemovableText(const DriveRecord& record);
bool IsRemovable(const DriveRecord& record);

// The size text of block count x block length; "" when either is 0.
std::string SizeText(const DriveRecord& record);

DriveRowText DriveRow(const DriveRecord& record);

// Which main window buttons are enabled. Drive search is always enabled; the others follow the
// chosen record (null when no row is chosen).
struct DriveCommandState {
  bool search = true;
  bool information = false;
  bool imageWrite = false;
  bool erase = false;
  bool benchmark = false;
  // The backup and the comparison only read: any drive with a medium, fixed disks too.
  bool backup = false;
};
DriveCommandState CommandState(const DriveRecord* chosen);

}  // namespace orv

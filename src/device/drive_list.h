// The drives the program can talk to, found by a scan over the drive letters the port offers,
// with the one DeviceHandle every operation uses.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"

namespace orv {

class Ui;
class WorkerContext;

// How a record was found: the scan finds drives by letter only; the console also opens a device
// path the user names.
inline constexpr uint32_t kSourceDevicePath = 1;
inline constexpr uint32_t kSourceDriveLetter = 3;

struct DriveRecord {
  uint32_t sourceKind = 0;
  std::string path;    // device path, "\\.\E:"
  std::string name;    // display name "E:"; "" for the later units found behind one letter
                       // whose drive has no SCSI address
  uint32_t letter = 0;  // 'A'-'Z'
  ScsiUnit unit;        // the address every command to this drive uses, and its inquiry data
  // READ CAPACITY data: bytes 0-3 the block count (last LBA + 1), bytes 4-7 the block length,
  // both big-endian; all zero when READ CAPACITY failed (no medium, not ready).
  std::array<uint8_t, 8> capacity{};
  uint32_t driveType = 0;  // GetDriveTypeA of the display name's root: 2 removable, 3 fixed,
                           // 4 remote, 5 CD-ROM, 6 RAM disk

  uint32_t BlockCount() const;
  uint32_t BlockLength() const;
  uint64_t CapacityBytes() const { return uint64_t{BlockCount()} * BlockLength(); }
  UnitAddress Address() const { return unit.Address(); }
};

// The name of a SCSI peripheral device type; only the low five bits count. Types 10-31 are
// "Unkown", or "Unkown %02X" when the caller gives a buffer (the text is then in the buffer).
const char* DeviceTypeName(uint32_t type, std::string* buffer = nullptr);

class DriveList {
 public:
  // The list's device talks through `port`.
  explicit DriveList(std::unique_ptr<DevicePort> port);

  DeviceHandle& Device() { return device_; }
  // The records of the latest scan, in the order found. Pointers and references stay valid
  // until the next Clear or Scan.
  const std::vector<DriveRecord>& Records() const { return records_; }
  uint32_t Count() const { return static_cast<uint32_t>(records_.size()); }

  void Clear() { records_.clear(); }

  // The letter walk: probes every drive candidate of the port in order. With a context it
  // reports "" and the range 0-26, then "Scan E: drive" and the letter's position before each
  // probe, then "" and the full bar; and it stops before the next letter once a stop is
  // requested, keeping what was found. Leaves the device closed. Does not clear the list.
  void Scan(WorkerContext* progress);

  // Opens the working record's path and appends a record per unit found there. 0 when the walk
  // goes on normally (even if nothing was added); -1 when the path does not open or nothing
  // usable answers.
  int Probe(DriveRecord& working);

  // Re-reads the capacity and, for drive-letter records, the drive type, through the open
  // device. 0, or -1 when READ CAPACITY failed or answered a block length no drive has (the
  // capacity is then all zero, so every operation finds the drive not ready).
  int Refresh(DriveRecord& record);

 private:
  void Append(DriveRecord& working);

  std::vector<DriveRecord> records_;
  DeviceHandle device_;
};

// The whole user-visible scan: clears the list, shows the progress box (message
// "デバイスを検索しています。", caption "Scan Device...", one button "キャンセル", a bar, 400
// pixels wide), runs the walk on a worker thread and returns when the walk has ended and the box
// is closed. 0, or -1 when the box could not be opened (the list is then empty).
int RunScan(Ui& ui, DriveList& list);

}  // namespace orv

// A trace read back as the answers of one drive: for each command (its CDB and data direction)
// the answers it got, in order; for each non-SCSI control the same; the sectors the reads of the
// trace delivered; and what the system said of the drive (file type, drive type). A replayed
// drive asks it, command by command.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scsi/data_direction.h"
#include "vdrive/trace_format.h"
#include "vdrive/virtual_drive.h"

namespace orv {

// One recorded answer to a pass-through request.
struct ReplayAnswer {
  bool ok = true;            // the call itself succeeded
  uint32_t systemError = 0;  // else its system error code
  uint8_t status = 0;
  std::vector<uint8_t> sense;
  uint32_t moved = 0;
  std::vector<uint8_t> received;
  bool receivedKept = true;  // false: the trace kept only the length of the data
  uint64_t micros = 0;       // how long the drive took to answer
};

// The trace stays a file: loading reads it once, line by line, and keeps only where each event
// of the drive lies; an answer is read again from its line when it is asked for. A replay holds
// an index of a few dozen bytes per event, however much data the trace holds.
class ReplayScript {
 public:
  // Reads the trace from `source`, which must stay readable and unchanged while the script is
  // used. The drive answers from the events of one device path: the path of drive letter
  // `letter` ("\\.\E:") when the trace has it, else the trace's only device. 0, or -1 with a
  // message naming the line at fault or why no device fits.
  int Load(std::unique_ptr<std::istream> source, char letter, std::string& error);

  // The device path whose answers were taken (UTF-8).
  const std::string& Path() const { return path_; }

  // The answer for the n-th time this CDB is asked with this direction: the n-th recorded, or the
  // last one once they are used up; nothing when the trace never saw the command (or its line
  // can no longer be read).
  std::optional<ReplayAnswer> Next(std::span<const uint8_t> cdb, DataDirection direction);
  // The same for a control.
  std::optional<RecordedControl> NextControl(DriveControl control);

  // The block length of the disc, from the last READ CAPACITY answered; 0 when none was, or
  // when it is no length a medium has (outside 256 to 65536 bytes): the trace then gives no
  // sectors.
  uint32_t SectorLength() const;
  // Whether the trace's reads delivered a sector, and its first `bytes` (at most SectorLength())
  // copied to `out`; false when they did not.
  bool HasSector(uint64_t lba) const { return sectors_.count(lba) != 0; }
  bool CopySector(uint64_t lba, uint8_t* out, uint32_t bytes);

  uint32_t FileType() const { return fileType_; }
  uint32_t DriveType() const { return driveType_; }

 private:
  struct Key {
    std::vector<uint8_t> cdb;
    DataDirection direction = DataDirection::kNone;
    bool operator<(const Key& other) const {
      return direction != other.direction ? direction < other.direction : cdb < other.cdb;
    }
  };
  // Where the answers lie in the file, in the order given.
  struct Queue {
    std::vector<uint64_t> lines;
    size_t asked = 0;
    uint64_t Next() { return lines[std::min(asked++, lines.size() - 1)]; }
  };
  struct SectorAt {
    uint64_t line = 0;     // offset of the line of the read that delivered it
    uint32_t offset = 0;   // byte offset in that read's data
  };
  struct Device;

  const TraceEvent* EventAt(uint64_t line);

  std::unique_ptr<std::istream> source_;
  std::string path_;
  std::map<Key, Queue> commands_;
  std::map<DriveControl, Queue> controls_;
  std::map<uint64_t, SectorAt> sectors_;
  uint32_t blockLength_ = 0;
  uint32_t fileType_ = 1;   // a disk, unless the trace says otherwise
  uint32_t driveType_ = 0;  // "unknown": the trace does not say
  // The last event read again: a read of several sectors finds them on one line.
  uint64_t cachedLine_ = UINT64_MAX;
  TraceEvent cached_;
};

}  // namespace orv

// A trace read back as the answers of one drive: for each command (its CDB and data direction)
// the answers it got, in order; for each non-SCSI control the same; the sectors the reads of the
// trace delivered; and what the system said of the drive (file type, drive type). A replayed
// drive asks it, command by command.
#pragma once

#include <cstdint>
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
  uint64_t micros = 0;  // how long the drive took to answer
};

class ReplayScript {
 public:
  // Reads the trace text (its lines). The drive answers from the events of one device path:
  // the path of drive letter `letter` ("\\.\E:") when the trace has it, else the trace's only
  // device. 0, or -1 with a message naming the line at fault or why no device fits.
  int Load(std::string_view text, char letter, std::string& error);

  // The device path whose answers were taken (UTF-8).
  const std::string& Path() const { return path_; }

  // The answer for the n-th time this CDB is asked with this direction: the n-th recorded, or the
  // last one once they are used up; null when the trace never saw the command.
  const ReplayAnswer* Next(std::span<const uint8_t> cdb, DataDirection direction);
  // The same for a control.
  std::optional<RecordedControl> NextControl(DriveControl control);

  // The block length of the disc, from the last READ CAPACITY answered; 0 when none was, or
  // when it is no length a medium has (outside 256 to 65536 bytes): the trace then gives no
  // sectors.
  uint32_t SectorLength() const;
  // A sector the trace's reads delivered, or null.
  const std::vector<uint8_t>* Sector(uint64_t lba) const;

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
  template <typename Answer>
  struct Queue {
    std::vector<Answer> answers;
    size_t asked = 0;
    const Answer* Next() { return &answers[std::min(asked++, answers.size() - 1)]; }
  };

  void Take(const TraceEvent& event);
  void TakeSectors(const TraceEvent& event);

  std::string path_;
  std::map<Key, Queue<ReplayAnswer>> commands_;
  std::map<DriveControl, Queue<RecordedControl>> controls_;
  std::map<uint64_t, std::vector<uint8_t>> sectors_;
  uint32_t blockLength_ = 0;
  uint32_t fileType_ = 1;   // a disk, unless the trace says otherwise
  uint32_t driveType_ = 0;  // "unknown": the trace does not say
};

}  // namespace orv

#include "vdrive/replay_drive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/replay_script.h"

namespace orv {

// ---- The list of what was not answered ----

std::vector<std::string> ReplayGaps::Lines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (const auto& [what, times] : asked_)
    lines.push_back(what + ", asked " + (times == 1 ? std::string("once") : std::to_string(times) + " times"));
  return lines;
}

bool ReplayGaps::Empty() const {
  std::lock_guard lock(mutex_);
  return asked_.empty();
}

void ReplayGaps::Note(const std::string& what) {
  std::lock_guard lock(mutex_);
  for (auto& [known, times] : asked_) {
    if (known == what) {
      ++times;
      return;
    }
  }
  asked_.emplace_back(what, 1);
}

// ---- The drive ----

namespace {

// What the replayed drive is made of, shared by its command handler and its control answers.
struct ReplayState {
  std::mutex mutex;  // the controls are asked outside the drive's own lock
  ReplayScript script;
  std::map<uint64_t, std::vector<uint8_t>> overlay;  // sectors written during the replay
  std::shared_ptr<ReplayGaps> gaps = std::make_shared<ReplayGaps>();
};

// The drive itself has nothing of its own to say: no disc, no timing, no address or adapter
// data but what the trace gives.
constexpr DrivePreset kReplayDrive = [] {
  DrivePreset p;
  p.name = kReplayPreset;
  p.hasMedium = false;
  p.driveType = 0;
  return p;
}();

std::string CdbText(const CommandContext& c) {
  std::string text = "CDB";
  char byte[4];
  for (uint8_t b : c.cdb) {
    std::snprintf(byte, sizeof byte, " %02X", b);
    text += byte;
  }
  switch (c.direction) {
    case DataDirection::kIn: return text + " (data in, " + std::to_string(c.bufferLength) + " bytes)";
    case DataDirection::kOut: return text + " (data out, " + std::to_string(c.bufferLength) + " bytes)";
    case DataDirection::kNone: break;
  }
  return text + " (no data)";
}

const char* ControlText(DriveControl control) {
  switch (control) {
    case DriveControl::kGeometry: return "the disk geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY)";
    case DriveControl::kAddress: return "the SCSI address (IOCTL_SCSI_GET_ADDRESS)";
    case DriveControl::kAdapterInquiry: return "the adapter inquiry data (IOCTL_SCSI_GET_INQUIRY_DATA)";
  }
  return "";
}

void Give(const ReplayAnswer& answer, CommandContext& c) {
  if (!answer.ok) {
    c.outcome.systemError = answer.systemError;
    return;
  }
  c.outcome.status = answer.status;
  const size_t sense = std::min(answer.sense.size(), c.outcome.sense.size());
  std::copy_n(answer.sense.begin(), sense, c.outcome.sense.begin());
  c.outcome.senseLength = static_cast<uint32_t>(sense);
  if (c.direction == DataDirection::kIn) {
    c.outcome.transferred = 0;
    // Data the trace left out (and no other read kept) cannot be had back from its digest: the
    // read moves as many bytes as it moved then, zeros, so whatever only times or counts reads
    // sees what it saw then.
    const uint32_t n = std::min<uint32_t>(
        answer.receivedKept ? static_cast<uint32_t>(answer.received.size()) : answer.moved, c.bufferLength);
    if (n != 0 && c.buffer != nullptr) {
      if (answer.receivedKept)
        std::memcpy(c.buffer, answer.received.data(), n);
      else
        std::memset(c.buffer, 0, n);
      c.outcome.transferred = n;
    }
  } else {
    c.outcome.transferred = std::min(answer.moved, c.bufferLength);
  }
}

struct BlockRange {
  uint64_t lba = 0;
  uint32_t blocks = 0;
};
BlockRange Range10(const CommandContext& c) { return {GetBe32(c.cdb.data() + 2), GetBe16(c.cdb.data() + 7)}; }

// READ(10) from the sectors: those written during the replay, else those the trace read. With
// `onlyIfWritten`, only a read that touches a written sector is answered here (a sector the
// replay wrote must read back as written, whatever the trace says). True when answered.
bool ReadSectors(ReplayState& s, CommandContext& c, bool onlyIfWritten) {
  const uint32_t length = s.script.SectorLength();
  if (length == 0 || c.cdb.size() < 10 || c.direction != DataDirection::kIn) return false;
  const BlockRange r = Range10(c);
  bool written = false;
  for (uint32_t i = 0; i < r.blocks; ++i) {
    if (s.overlay.count(r.lba + i) != 0)
      written = true;
    else if (!s.script.HasSector(r.lba + i))
      return false;
  }
  if (onlyIfWritten && !written) return false;
  // As a drive does: the initiator's buffer bounds the transfer, a last partial block included.
  const uint64_t bytes = std::min<uint64_t>(uint64_t{r.blocks} * length, c.buffer != nullptr ? c.bufferLength : 0);
  for (uint64_t done = 0; done < bytes;) {
    const uint64_t lba = r.lba + done / length;
    const auto piece = static_cast<uint32_t>(std::min<uint64_t>(length, bytes - done));
    auto it = s.overlay.find(lba);
    if (it != s.overlay.end())
      std::memcpy(c.buffer + done, it->second.data(), piece);
    else if (!s.script.CopySector(lba, c.buffer + done, piece))
      return false;
    done += piece;
  }
  c.outcome.transferred = static_cast<uint32_t>(bytes);
  return true;
}

// WRITE(10) into the overlay: the whole blocks the initiator sent.
uint32_t WriteSectors(ReplayState& s, const CommandContext& c) {
  const uint32_t length = s.script.SectorLength();
  if (length == 0 || c.cdb.size() < 10 || c.direction != DataDirection::kOut || c.buffer == nullptr) return 0;
  const BlockRange r = Range10(c);
  const uint64_t whole = std::min<uint64_t>(uint64_t{r.blocks} * length, c.bufferLength) / length;
  for (uint64_t i = 0; i < whole; ++i) s.overlay[r.lba + i].assign(c.buffer + i * length, c.buffer + (i + 1) * length);
  return static_cast<uint32_t>(whole * length);
}

void Answer(ReplayState& s, VirtualDrive& drive, CommandContext& c) {
  std::lock_guard lock(s.mutex);
  const uint8_t opcode = c.Opcode();
  if (opcode == scsi_op::kRead10 && ReadSectors(s, c, true)) return;
  const std::optional<ReplayAnswer> recorded = s.script.Next(c.cdb, c.direction);
  // A recorded answer takes the time it took then; one made up from the sectors takes none.
  if (recorded && drive.HandlerClock() != nullptr)
    drive.HandlerClock()->Advance(static_cast<int64_t>(recorded->micros));
  // A read whose data the trace left out gives the sectors when other reads kept them all.
  if (opcode == scsi_op::kRead10 && recorded && !recorded->receivedKept && recorded->ok &&
      recorded->status == kScsiStatusGood && ReadSectors(s, c, false))
    return;
  if (opcode == scsi_op::kWrite10 && c.cdb.size() >= 10) {
    // A write the drive refused when the trace was taken is refused again; one it took, or one
    // the trace never saw, lands in the overlay.
    if (recorded && !(recorded->ok && recorded->status == kScsiStatusGood)) return Give(*recorded, c);
    if (recorded || s.script.SectorLength() != 0) {
      const uint32_t written = WriteSectors(s, c);
      if (recorded) return Give(*recorded, c);
      c.outcome.transferred = written;
      return;
    }
  }
  if (recorded) return Give(*recorded, c);
  if (opcode == scsi_op::kRead10 && ReadSectors(s, c, false)) return;
  s.gaps->Note(CdbText(c));
  c.Fail(kSenseInvalidOpcode);
}

int MakeReplayDriveFrom(std::unique_ptr<std::istream> trace, char letter, ReplayDrive& made, std::string& error) {
  auto state = std::make_shared<ReplayState>();
  if (state->script.Load(std::move(trace), letter, error) != 0) return -1;
  auto drive = std::make_unique<VirtualDrive>(kReplayDrive, nullptr);
  for (int opcode = 0; opcode < 256; ++opcode) {
    drive->SetHandler(static_cast<uint8_t>(opcode),
                      [state](VirtualDrive& d, CommandContext& c) { Answer(*state, d, c); });
  }
  VirtualDriveFace& face = drive->Face();
  face.fileType = state->script.FileType();
  face.driveType = state->script.DriveType();
  // Without a recorded answer the controls fail, as on a port that has none.
  face.hasScsiAddress = false;
  face.adapterInquiry.clear();
  face.recordedControl = [state](DriveControl control) {
    std::lock_guard lock(state->mutex);
    std::optional<RecordedControl> answer = state->script.NextControl(control);
    if (!answer) state->gaps->Note(ControlText(control));
    return answer;
  };
  made.drive = std::move(drive);
  made.gaps = state->gaps;
  return 0;
}

}  // namespace

int MakeReplayDriveFromText(std::string_view trace, char letter, ReplayDrive& made, std::string& error) {
  return MakeReplayDriveFrom(std::make_unique<std::istringstream>(std::string(trace)), letter, made, error);
}

int MakeReplayDrive(const std::filesystem::path& path, char letter, ReplayDrive& made, std::string& error) {
  const std::string name = path.string();
  // A FIFO would hold the open (or the reads) for ever, a device or a folder is no trace; the
  // replay also reads the file again as it goes, which only a regular file allows.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error = "the trace " + name + " is not a regular file";
    return -1;
  }
  auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!file->is_open()) {
    error = "cannot open the trace " + name;
    return -1;
  }
  if (MakeReplayDriveFrom(std::move(file), letter, made, error) != 0) {
    error = "trace " + name + ": " + error;
    return -1;
  }
  return 0;
}

}  // namespace orv

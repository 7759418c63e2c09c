#include "vdrive/replay_script.h"

#include <algorithm>

#include "scsi/opcodes.h"
#include "scsi/status.h"
#include "toolkit/endian.h"

namespace orv {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The letter of a drive-letter path ("\\.\E:"), or 0.
char LetterOf(const std::string& path) {
  if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':') return 0;
  const char letter = Upper(path[4]);
  return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

// Events that belong to the device their path names.
bool IsDeviceEvent(const TraceEvent& e) {
  switch (e.op) {
    case TraceOp::kOpen: return e.ok;
    case TraceOp::kFileType:
    case TraceOp::kGeometry:
    case TraceOp::kAddress:
    case TraceOp::kAdapterInquiry:
    case TraceOp::kControl:
    case TraceOp::kPassThrough: return true;
    default: return false;
  }
}

std::optional<DriveControl> ControlOf(TraceOp op) {
  switch (op) {
    case TraceOp::kGeometry: return DriveControl::kGeometry;
    case TraceOp::kAddress: return DriveControl::kAddress;
    case TraceOp::kAdapterInquiry: return DriveControl::kAdapterInquiry;
    default: return std::nullopt;
  }
}

bool Good(const TraceEvent& e) { return e.op == TraceOp::kPassThrough && e.ok && e.status == kScsiStatusGood; }

struct NumberedEvent {
  size_t line = 0;
  TraceEvent event;
};

int ReadEvents(std::string_view text, std::vector<NumberedEvent>& events, std::string& error) {
  bool header = false;
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    std::string why;
    if (!header) {
      TraceHeader h;
      if (ParseTraceHeader(line, h, why) != 0) {
        error = "line " + std::to_string(number) + ": " + why;
        return -1;
      }
      header = true;
      continue;
    }
    NumberedEvent e{number, {}};
    if (ParseTraceEvent(line, e.event, why) != 0) {
      error = "line " + std::to_string(number) + ": " + why;
      return -1;
    }
    events.push_back(std::move(e));
  }
  if (!header) {
    error = "the file is empty, not a trace";
    return -1;
  }
  return 0;
}

}  // namespace

int ReplayScript::Load(std::string_view text, char letter, std::string& error) {
  std::vector<NumberedEvent> events;
  if (ReadEvents(text, events, error) != 0) return -1;

  // The device: the one of the drive letter, or the only one there is.
  letter = Upper(letter);
  std::vector<std::string> paths;
  for (const NumberedEvent& n : events) {
    if (IsDeviceEvent(n.event) && !n.event.path.empty() &&
        std::find(paths.begin(), paths.end(), n.event.path) == paths.end())
      paths.push_back(n.event.path);
  }
  std::string chosen;
  for (const std::string& path : paths) {
    if (LetterOf(path) == letter) chosen = path;
  }
  if (chosen.empty() && paths.size() == 1) chosen = paths.front();
  if (chosen.empty()) {
    if (paths.empty()) {
      error = "the trace holds no command to any drive";
    } else {
      std::string listed;
      for (const std::string& path : paths) listed += (listed.empty() ? "" : ", ") + path;
      error = "the trace holds the drives " + listed + " and none of them is drive " + std::string(1, letter) +
              ":; give each its own letter";
    }
    return -1;
  }

  ReplayScript script;
  script.path_ = chosen;
  const char rootLetter = LetterOf(chosen) != 0 ? LetterOf(chosen) : letter;
  bool fileTypeKnown = false;
  bool driveTypeKnown = false;
  for (const NumberedEvent& n : events) {
    const TraceEvent& e = n.event;
    if (e.op == TraceOp::kDriveType && !driveTypeKnown && e.path.size() == 3 && Upper(e.path[0]) == rootLetter &&
        e.path[1] == ':' && e.path[2] == '\\') {
      script.driveType_ = e.value;
      driveTypeKnown = true;
    }
    if (e.path != chosen) continue;
    if (e.op == TraceOp::kFileType && e.ok && !fileTypeKnown) {
      script.fileType_ = e.value;
      fileTypeKnown = true;
    }
    script.Take(e);
  }
  // The sectors the reads delivered, in blocks of the disc's length: the last READ CAPACITY
  // answered gives it.
  for (const NumberedEvent& n : events) {
    const TraceEvent& e = n.event;
    if (e.path == chosen && Good(e) && e.cdb[0] == scsi_op::kReadCapacity && e.received.size() >= 8) {
      script.blockLength_ = GetBe32(e.received.data() + 4);
    }
  }
  for (const NumberedEvent& n : events) {
    if (n.event.path == chosen) script.TakeSectors(n.event);
  }
  *this = std::move(script);
  return 0;
}

void ReplayScript::Take(const TraceEvent& e) {
  if (e.op == TraceOp::kPassThrough) {
    if (e.malformed) return;
    ReplayAnswer answer{e.ok, e.error, e.status, e.sense, e.moved, e.received, e.micros};
    commands_[Key{e.cdb, e.direction}].answers.push_back(std::move(answer));
    return;
  }
  if (std::optional<DriveControl> control = ControlOf(e.op))
    controls_[*control].answers.push_back(RecordedControl{e.ok, e.error, e.answer});
}

// Block lengths of real media lie between these; a trace edited to claim another one keeps its
// reads as answers to their own commands, but gives no sectors (a 1-byte "sector" per byte
// read would cost memory out of all proportion to the file).
constexpr uint32_t kMinSectorLength = 256;
constexpr uint32_t kMaxSectorLength = 65536;

uint32_t ReplayScript::SectorLength() const {
  return blockLength_ >= kMinSectorLength && blockLength_ <= kMaxSectorLength ? blockLength_ : 0;
}

void ReplayScript::TakeSectors(const TraceEvent& e) {
  if (SectorLength() == 0 || !Good(e) || e.cdb[0] != scsi_op::kRead10 || e.cdb.size() < 10) return;
  const uint64_t lba = GetBe32(e.cdb.data() + 2);
  const uint32_t blocks = GetBe16(e.cdb.data() + 7);
  const uint64_t whole = std::min<uint64_t>(e.received.size() / blockLength_, blocks);
  for (uint64_t i = 0; i < whole; ++i) {
    const auto at = e.received.begin() + static_cast<std::ptrdiff_t>(i * blockLength_);
    sectors_[lba + i].assign(at, at + blockLength_);
  }
}

const ReplayAnswer* ReplayScript::Next(std::span<const uint8_t> cdb, DataDirection direction) {
  auto it = commands_.find(Key{std::vector<uint8_t>(cdb.begin(), cdb.end()), direction});
  return it == commands_.end() ? nullptr : it->second.Next();
}

std::optional<RecordedControl> ReplayScript::NextControl(DriveControl control) {
  auto it = controls_.find(control);
  if (it == controls_.end()) return std::nullopt;
  return *it->second.Next();
}

const std::vector<uint8_t>* ReplayScript::Sector(uint64_t lba) const {
  auto it = sectors_.find(lba);
  return it == sectors_.end() ? nullptr : &it->second;
}

}  // namespace orv

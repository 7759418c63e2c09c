#include "vdrive/replay_script.h"

#include <algorithm>
#include <cstring>

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

// Longer than any event of a trace (the data of the largest transfer, twice over in hex): a file
// with such a line is no trace, and reading it whole would cost its size in memory.
constexpr size_t kMaxLineBytes = size_t{64} << 20;

enum class LineRead { kLine, kEnd, kTooLong };

// One line of `in` without its line end, counting the bytes taken in `consumed`.
LineRead ReadLine(std::istream& in, std::string& line, uint64_t& consumed) {
  std::streambuf* buffer = in.rdbuf();
  line.clear();
  for (bool any = false;; any = true) {
    const int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      if (!any) return LineRead::kEnd;
      break;
    }
    ++consumed;
    if (c == '\n') break;
    if (line.size() == kMaxLineBytes) return LineRead::kTooLong;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return LineRead::kLine;
}

}  // namespace

// What the trace holds of one device path: where its answers lie, and the reads whose data gives
// sectors once the disc's block length is known.
struct ReplayScript::Device {
  struct Read {
    uint64_t line = 0;
    uint64_t lba = 0;
    uint32_t blocks = 0;
    uint32_t bytes = 0;
  };
  std::map<Key, Queue> commands;
  std::map<DriveControl, Queue> controls;
  std::vector<Read> reads;
  uint32_t blockLength = 0;
  std::optional<uint32_t> fileType;

  void Take(const TraceEvent& e, uint64_t line) {
    if (e.op == TraceOp::kFileType) {
      if (e.ok && !fileType) fileType = e.value;
    } else if (e.op == TraceOp::kPassThrough && !e.malformed) {
      commands[Key{e.cdb, e.direction}].lines.push_back(line);
      if (Good(e) && e.cdb[0] == scsi_op::kReadCapacity && e.received.size() >= 8)
        blockLength = GetBe32(e.received.data() + 4);
      if (Good(e) && e.cdb[0] == scsi_op::kRead10 && e.cdb.size() >= 10 && !e.received.empty())
        reads.push_back({line, GetBe32(e.cdb.data() + 2), GetBe16(e.cdb.data() + 7),
                         static_cast<uint32_t>(e.received.size())});
    } else if (std::optional<DriveControl> control = ControlOf(e.op)) {
      controls[*control].lines.push_back(line);
    }
  }
};

int ReplayScript::Load(std::unique_ptr<std::istream> source, char letter, std::string& error) {
  letter = Upper(letter);
  std::vector<std::string> paths;  // in the order they first appear
  std::map<std::string, Device> devices;
  std::map<char, uint32_t> driveTypes;  // the first answer for each root ("E:\")
  bool header = false;
  size_t number = 0;
  std::string line;
  for (uint64_t at = 0;;) {
    const uint64_t start = at;
    const LineRead read = ReadLine(*source, line, at);
    if (read == LineRead::kEnd) break;
    ++number;
    std::string why;
    if (read == LineRead::kTooLong) {
      why = "longer than 64 MiB, more than any event holds";
    } else if (line.find_first_not_of(" \t") == std::string::npos) {
      continue;
    } else if (!header) {
      TraceHeader h;
      header = ParseTraceHeader(line, h, why) == 0;
    } else {
      TraceEvent e;
      if (ParseTraceEvent(line, e, why) == 0) {
        if (e.op == TraceOp::kDriveType && e.path.size() == 3 && e.path[1] == ':' && e.path[2] == '\\')
          driveTypes.emplace(Upper(e.path[0]), e.value);
        if (IsDeviceEvent(e) && !e.path.empty()) {
          if (std::find(paths.begin(), paths.end(), e.path) == paths.end()) paths.push_back(e.path);
          devices[e.path].Take(e, start);
        }
        continue;
      }
    }
    if (!why.empty()) {
      error = "line " + std::to_string(number) + ": " + why;
      return -1;
    }
  }
  if (!header) {
    error = "the file is empty, not a trace";
    return -1;
  }

  // The device: the one of the drive letter, or the only one there is.
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

  Device& device = devices[chosen];
  const char rootLetter = LetterOf(chosen) != 0 ? LetterOf(chosen) : letter;
  source_ = std::move(source);
  path_ = chosen;
  commands_ = std::move(device.commands);
  controls_ = std::move(device.controls);
  fileType_ = device.fileType.value_or(1);
  driveType_ = driveTypes.count(rootLetter) != 0 ? driveTypes[rootLetter] : 0;
  // The sectors the reads delivered, in blocks of the disc's length (the last READ CAPACITY
  // answered gives it); a later read of a sector wins.
  blockLength_ = device.blockLength;
  sectors_.clear();
  cachedLine_ = UINT64_MAX;
  if (SectorLength() != 0) {
    for (const Device::Read& r : device.reads) {
      const uint64_t whole = std::min<uint64_t>(r.bytes / blockLength_, r.blocks);
      for (uint64_t i = 0; i < whole; ++i) sectors_[r.lba + i] = {r.line, static_cast<uint32_t>(i * blockLength_)};
    }
  }
  return 0;
}

// Block lengths of real media lie between these; a trace edited to claim another one keeps its
// reads as answers to their own commands, but gives no sectors (a 1-byte "sector" per byte
// read would cost memory out of all proportion to the file).
constexpr uint32_t kMinSectorLength = 256;
constexpr uint32_t kMaxSectorLength = 65536;

uint32_t ReplayScript::SectorLength() const {
  return blockLength_ >= kMinSectorLength && blockLength_ <= kMaxSectorLength ? blockLength_ : 0;
}

const TraceEvent* ReplayScript::EventAt(uint64_t line) {
  if (line == cachedLine_) return &cached_;
  cachedLine_ = UINT64_MAX;
  std::string text;
  std::string why;
  uint64_t ignored = 0;
  const auto at = std::streampos(static_cast<std::streamoff>(line));
  source_->clear();
  if (source_->rdbuf()->pubseekpos(at, std::ios::in) != at || ReadLine(*source_, text, ignored) != LineRead::kLine ||
      ParseTraceEvent(text, cached_, why) != 0)
    return nullptr;
  cachedLine_ = line;
  return &cached_;
}

std::optional<ReplayAnswer> ReplayScript::Next(std::span<const uint8_t> cdb, DataDirection direction) {
  auto it = commands_.find(Key{std::vector<uint8_t>(cdb.begin(), cdb.end()), direction});
  const TraceEvent* e = it == commands_.end() ? nullptr : EventAt(it->second.Next());
  if (e == nullptr) return std::nullopt;
  return ReplayAnswer{e->ok, e->error, e->status, e->sense, e->moved, e->received, e->receivedKept, e->micros};
}

std::optional<RecordedControl> ReplayScript::NextControl(DriveControl control) {
  auto it = controls_.find(control);
  const TraceEvent* e = it == controls_.end() ? nullptr : EventAt(it->second.Next());
  if (e == nullptr) return std::nullopt;
  return RecordedControl{e->ok, e->error, e->answer};
}

bool ReplayScript::CopySector(uint64_t lba, uint8_t* out, uint32_t bytes) {
  auto it = sectors_.find(lba);
  const TraceEvent* e = it == sectors_.end() ? nullptr : EventAt(it->second.line);
  if (e == nullptr || bytes > SectorLength() || e->received.size() < uint64_t{it->second.offset} + bytes) return false;
  std::memcpy(out, e->received.data() + it->second.offset, bytes);
  return true;
}

}  // namespace orv

// A virtual drive that answers from a trace: the preset "replay:FILE" of ORVANE_VIRTUAL_DRIVES
// and --virtual. A user's drive becomes a test: every command is answered as it was answered
// when the trace was taken (the n-th time it is asked, the n-th answer; the last one once they
// are used up), reads of sectors the trace holds give its data, and writes go to a memory
// overlay that later reads see. A command the trace never saw gets CHECK CONDITION, ILLEGAL
// REQUEST, invalid command operation code, and is kept in a list, so that the user learns the
// trace was incomplete. The drive answers at once: it has no timing model. Given a simulated
// clock (VirtualDrive::SetSimulatedClock), it advances it by the time each recorded answer took,
// so a benchmark replayed against a trace taken on that clock measures what it measured then
// and asks the same commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vdrive/virtual_drive.h"

namespace orv {

inline constexpr const char* kReplayPreset = "replay";

// What a replayed drive was asked that its trace does not answer.
class ReplayGaps {
 public:
  // One line per command or control, in the order first asked, such as
  // "CDB 46 02 00 00 00 00 00 10 00 00 (data in, 4096 bytes), asked 2 times".
  std::vector<std::string> Lines() const;
  bool Empty() const;

  void Note(const std::string& what);

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, uint64_t>> asked_;
};

struct ReplayDrive {
  std::unique_ptr<VirtualDrive> drive;
  std::shared_ptr<const ReplayGaps> gaps;
};

// The drive at `letter` answering from the trace file at `path` (see ReplayScript::Load for
// which of the trace's drives it answers as). 0, or -1 with a message.
int MakeReplayDrive(const std::filesystem::path& path, char letter, ReplayDrive& made, std::string& error);
// The same from the trace's text.
int MakeReplayDriveFromText(std::string_view trace, char letter, ReplayDrive& made, std::string& error);

}  // namespace orv

#include "operations/backup_map.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace orv {

namespace {

constexpr std::pair<SectorState, const char*> kStateNames[] = {
    {SectorState::kNotTried, "not-tried"}, {SectorState::kDone, "done"},       {SectorState::kBad, "bad"},
    {SectorState::kSlow, "slow"},           {SectorState::kRecovered, "recovered"}};

const char* StateName(SectorState state) {
  for (const auto& [s, name] : kStateNames)
    if (s == state) return name;
  return "?";
}

}  // namespace

BackupMap::BackupMap(uint32_t sectorSize, uint64_t sectorCount) : sectorSize_(sectorSize), sectorCount_(sectorCount) {
  if (sectorCount != 0) runs_.push_back({0, sectorCount, SectorState::kNotTried});
}

void BackupMap::Mark(uint64_t first, uint64_t count, SectorState state) {
  const uint64_t end = std::min(sectorCount_, first + count);
  if (first >= end) return;
  std::vector<SectorRun> runs;
  auto add = [&runs](SectorRun run) {
    if (run.count == 0) return;
    if (!runs.empty() && runs.back().state == run.state && runs.back().first + runs.back().count == run.first)
      runs.back().count += run.count;
    else
      runs.push_back(run);
  };
  bool placed = false;
  for (const SectorRun& r : runs_) {
    const uint64_t rEnd = r.first + r.count;
    if (rEnd <= first || r.first >= end) {
      if (!placed && r.first >= end) {
        add({first, end - first, state});
        placed = true;
      }
      add(r);
      continue;
    }
    if (r.first < first) add({r.first, first - r.first, r.state});
    if (!placed) {
      add({first, end - first, state});
      placed = true;
    }
    if (rEnd > end) add({end, rEnd - end, r.state});
  }
  if (!placed) add({first, end - first, state});
  runs_ = std::move(runs);
}

void BackupMap::Replace(SectorState from, SectorState to) {
  const std::vector<SectorRun> runs = runs_;
  for (const SectorRun& r : runs)
    if (r.state == from) Mark(r.first, r.count, to);
}

std::vector<SectorRun> BackupMap::RunsWithin(uint64_t first, uint64_t count, SectorState state) const {
  std::vector<SectorRun> found;
  const uint64_t end = first + count;
  for (const SectorRun& r : runs_) {
    const uint64_t from = std::max(first, r.first), to = std::min(end, r.first + r.count);
    if (from < to && r.state == state) found.push_back({from, to - from, state});
  }
  return found;
}

uint64_t BackupMap::Count(SectorState state) const {
  uint64_t total = 0;
  for (const SectorRun& r : runs_)
    if (r.state == state) total += r.count;
  return total;
}

std::string BackupMap::Text() const {
  std::string text = "# orvane backup map: FIRST COUNT STATE (done, bad, not-tried)\n";
  text += "sectors " + std::to_string(sectorCount_) + " size " + std::to_string(sectorSize_) + "\n";
  for (const SectorRun& r : runs_)
    text += std::to_string(r.first) + " " + std::to_string(r.count) + " " + StateName(r.state) + "\n";
  if (complete) text += "complete\n";
  return text;
}

int BackupMap::Parse(std::string_view text, BackupMap& map, std::string& error) {
  std::istringstream in{std::string(text)};
  std::string line;
  BackupMap parsed;
  bool sized = false;
  uint64_t next = 0;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string word, extra;
    uint64_t first = 0, count = 0;
    bool good = false;
    if (!sized) {
      std::string size;
      uint64_t sectorSize = 0;
      good = (fields >> word >> parsed.sectorCount_ >> size >> sectorSize) && word == "sectors" && size == "size" &&
             sectorSize != 0 && sectorSize <= 0xFFFFFFFFu && !(fields >> extra);
      parsed.sectorSize_ = static_cast<uint32_t>(sectorSize);
      sized = good;
    } else if (line == "complete" && !parsed.complete) {
      good = parsed.complete = true;
    } else if (!parsed.complete && (fields >> first >> count >> word) && !(fields >> extra) && first == next &&
               count != 0 && count <= parsed.sectorCount_ - first) {  // not first + count: it can wrap
      for (const auto& [state, name] : kStateNames) {
        if (word != name) continue;
        parsed.runs_.push_back({first, count, state});
        next = first + count;
        good = true;
      }
    }
    if (!good) {
      error = "line " + std::to_string(number) + " \"" + line + "\" is not FIRST COUNT STATE in order";
      return -1;
    }
  }
  if (!sized || next != parsed.sectorCount_) {
    error = sized ? "its runs end at sector " + std::to_string(next) + " of " + std::to_string(parsed.sectorCount_)
                  : "it has no \"sectors N size S\" line";
    return -1;
  }
  map = std::move(parsed);
  return 0;
}

int LoadBackupMap(const std::filesystem::path& path, BackupMap& map, std::string& error) {
  // A map is a few lines per run; anything far larger is not one.
  constexpr std::streamoff kLargestMap = 64 << 20;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in || in.tellg() > kLargestMap) {
    error = "cannot read the map";
    return -1;
  }
  in.seekg(0);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    error = "cannot read the map";
    return -1;
  }
  return BackupMap::Parse(text.str(), map, error);
}

}  // namespace orv

#include "app/cli/backup_command.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>

#include "app/cli/cli_session.h"
#include "operations/disc_backup.h"
#include "operations/disc_compare.h"
#include "operations/monotonic_clock.h"

namespace orv {

namespace {

struct BackupCommandOptions {
  std::string drive;
  std::string file;
  bool resume = false;
  int retries = 2;
  std::vector<std::string> sectors;
  std::string surfaceMap;
  bool json = false;
};

const DriveRecord& OpenForReading(CliSession& session, const std::string& drive) {
  const DriveRecord& record = session.FindDrive(drive);
  DeviceHandle& device = session.Drives().Device();
  if (device.IsOpen()) device.Close();
  // Reading only, and sharing the drive with whoever else has it open.
  if (device.Open(record.path.c_str(), kOpenRead | kOpenShareRead | kOpenShareWrite) != 0)
    throw CliError("cannot open " + drive + " for reading");
  if (record.BlockLength() == 0 || record.BlockCount() == 0) throw CliError(drive + " has no readable disc");
  return record;
}

// The places a surface scan of this disc found slow, read only after a retry, or bad: the backup
// reads them after every other sector.
std::vector<SectorRun> ReadLater(const std::string& path, const DriveRecord& record) {
  BackupMap map;
  std::string why;
  if (LoadBackupMap(path, map, why) != 0) throw CliError("--surface-map " + path + ": " + why);
  if (map.SectorCount() != record.BlockCount() || map.SectorSize() != record.BlockLength())
    throw CliError("--surface-map " + path + " is the map of another disc (" + std::to_string(map.SectorCount()) +
                   " sectors of " + std::to_string(map.SectorSize()) + " bytes)");
  std::vector<SectorRun> later;
  for (const SectorRun& r : map.Runs())
    if (r.state == SectorState::kSlow || r.state == SectorState::kRecovered || r.state == SectorState::kBad)
      later.push_back(r);
  return later;
}

SectorRun ParseRun(const std::string& text) {
  SectorRun run;
  const size_t colon = text.find(':');
  const char* end = text.data() + text.size();
  const auto a = std::from_chars(text.data(), text.data() + std::min(colon, text.size()), run.first);
  const auto b = colon == std::string::npos ? a : std::from_chars(text.data() + colon + 1, end, run.count);
  if (colon == std::string::npos || a.ec != std::errc() || a.ptr != text.data() + colon || b.ec != std::errc() ||
      b.ptr != end || run.count == 0)
    throw CliUsageError("--sectors \"" + text + "\": expected FIRST:COUNT with a COUNT above 0");
  return run;
}

std::string RunsText(const std::vector<SectorRun>& runs) {
  std::string text;
  for (const SectorRun& r : runs) text += std::to_string(r.first) + " " + std::to_string(r.count) + "\n";
  return text;
}

JsonValue RunsJson(const std::vector<SectorRun>& runs) {
  JsonValue list = JsonValue::Array();
  for (const SectorRun& r : runs) {
    JsonValue run = JsonValue::Object();
    run.Set("first", JsonValue(static_cast<unsigned long long>(r.first)));
    run.Set("count", JsonValue(static_cast<unsigned long long>(r.count)));
    list.Append(std::move(run));
  }
  return list;
}

// The status line: sectors, rate and the time left, redrawn on the error stream; Ctrl-C closes
// the box, which stops the command after the transfer in flight.
class ReadProgress {
 public:
  ReadProgress(CliSession& session, uint32_t sectorSize) : session_(session), sectorSize_(sectorSize) {
    ProgressBoxSpec box;
    box.message = "Reading the disc";
    box_ = session.Ui().OpenProgress(box, nullptr);
    startMs_ = SteadyClock().NowMs();
  }
  bool Update(uint64_t done, uint64_t total, uint64_t doneBefore) {
    session_.Ui().ProcessMessages(0);
    if (!box_ || !box_->IsOpen()) return false;
    const uint64_t ms = SteadyClock().NowMs() - startMs_;
    const uint64_t thisRun = done - std::min(done, doneBefore);
    std::string line = std::to_string(done) + "/" + std::to_string(total) + " sectors";
    if (ms != 0 && thisRun != 0) {
      const uint64_t bytesPerSecond = thisRun * sectorSize_ * 1000 / ms;
      const uint64_t leftSeconds = (total - done) * ms / thisRun / 1000;
      line += ", " + std::to_string(bytesPerSecond / 1000000) + " MB/s, " + std::to_string(leftSeconds / 60) +
              " min " + std::to_string(leftSeconds % 60) + " s left";
    }
    box_->SetStatus(line);
    return true;
  }

 private:
  CliSession& session_;
  uint32_t sectorSize_;
  std::unique_ptr<ProgressBox> box_;
  uint64_t startMs_ = 0;
};

void RunBackupCommand(CliSession& session, const BackupCommandOptions& o) {
  BackupOptions options;
  options.retries = o.retries;
  for (const std::string& s : o.sectors) options.runs.push_back(ParseRun(s));
  options.resume = o.resume;
  std::error_code ec;
  if (!o.resume && std::filesystem::exists(BackupMapPath(o.file), ec)) {
    std::ifstream in(BackupMapPath(o.file), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    BackupMap map;
    std::string why;
    if (BackupMap::Parse(text.str(), map, why) == 0 && map.complete)
      throw CliError(BackupMapPath(o.file).string() + " says the backup is complete: choose another name");
    MessageBoxSpec box;
    box.text = "このファイルへのバックアップは途中で止まっています。\n続きから再開しますか？";
    box.caption = kAppTitle;
    box.style = kBoxYesNo | kBoxIconQuestion;
    box.note = "※いいえを選ぶと何もしません。";
    if (!session.InputIsTerminal() || session.Ui().ShowBox(box) != kIdYes)
      throw CliError(o.file + " is an interrupted backup: resume the backup with --resume, or choose another name");
    options.resume = true;
  }
  const DriveRecord& record = OpenForReading(session, o.drive);
  if (!o.surfaceMap.empty()) options.later = ReadLater(o.surfaceMap, record);
  DeviceHandle& device = session.Drives().Device();
  BackupResult result;
  {
    ReadProgress progress(session, record.BlockLength());
    result = RunDiscBackup(device, record.Address(), record.BlockLength(), record.BlockCount(), o.file, options,
                           [&](const BackupProgress& p) {
                             return progress.Update(p.sectorsDone, p.sectorsTotal, p.sectorsAtStart);
                           });
  }
  device.Close();
  if (result.end == BackupEnd::kRefused) throw CliError(result.failure);
  const bool good = result.end == BackupEnd::kCompleted && result.badSectors == 0;
  if (o.json) {
    JsonValue out = JsonValue::Object();
    out.Set("drive", o.drive);
    out.Set("file", o.file);
    out.Set("complete", result.end == BackupEnd::kCompleted);
    out.Set("goodSectors", JsonValue(static_cast<unsigned long long>(result.goodSectors)));
    out.Set("badSectors", JsonValue(static_cast<unsigned long long>(result.badSectors)));
    out.Set("notTried", JsonValue(static_cast<unsigned long long>(result.notTried)));
    out.Set("bad", RunsJson(result.badRuns));
    session.PrintJson(out);
  } else {
    if (!result.badRuns.empty()) session.Print("Bad sectors (first count):\n" + RunsText(result.badRuns));
    const char* state = result.end == BackupEnd::kCompleted ? "Backup complete"
                        : result.end == BackupEnd::kInterrupted ? "Backup stopped (resume the backup with --resume)"
                                                                : "Backup failed (resume the backup with --resume)";
    session.Print(std::string(state) + ": " + std::to_string(result.goodSectors) + " sectors read, " +
                  std::to_string(result.badSectors) + " bad, " + std::to_string(result.notTried) + " not tried.\n");
  }
  if (result.end == BackupEnd::kFailed) session.PrintError(result.failure);
  session.exitCode = good ? kExitSuccess : kExitFailure;
}

void RunCompareCommand(CliSession& session, const std::string& drive, const std::string& file, bool json) {
  if (!std::filesystem::is_regular_file(file)) throw CliError(file + " is not a regular file");
  const DriveRecord& record = OpenForReading(session, drive);
  DeviceHandle& device = session.Drives().Device();
  CompareResult result;
  {
    ReadProgress progress(session, record.BlockLength());
    result = RunDiscCompare(device, record.Address(), record.BlockLength(), record.BlockCount(), file,
                            kBackupTransferBytes,
                            [&](uint64_t done, uint64_t total) { return progress.Update(done, total, 0); });
  }
  device.Close();
  if (!result.ran) throw CliError("compare " + file + ": " + result.failure);
  if (json) {
    JsonValue out = JsonValue::Object();
    out.Set("equal", result.Equal());
    out.Set("sectorsCompared", JsonValue(static_cast<unsigned long long>(result.sectorsCompared)));
    out.Set("differing", RunsJson(result.differing));
    out.Set("unreadable", RunsJson(result.unreadable));
    session.PrintJson(out);
  } else {
    if (!result.differing.empty()) session.Print("Differing sectors (first count):\n" + RunsText(result.differing));
    if (!result.unreadable.empty()) session.Print("Unreadable sectors (first count):\n" + RunsText(result.unreadable));
    session.Print(std::string(result.Equal() ? "Equal" : "Not equal") + ": " + std::to_string(result.sectorsCompared) +
                  " sectors compared.\n");
  }
  session.exitCode = result.Equal() ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddBackupCommands(CLI::App& app, CliSession& session) {
  auto o = std::make_shared<BackupCommandOptions>();
  CLI::App* backup = app.add_subcommand(
      "backup",
      "Read every sector of the disc (or of the runs given) into an .ovi file, with a map FILE.map "
      "of what was read; bad sectors are recorded in the map, never stored. Exit code 0 only when every "
      "sector was read");
  backup->add_option("DRIVE", o->drive, "The drive: E:, e:, E, or a device path")->required();
  backup->add_option("FILE", o->file, "The .ovi file to write")->required();
  backup->add_flag("--resume", o->resume, "Go on with an interrupted backup into FILE");
  backup->add_option("--retries", o->retries, "Reads of a failing sector after the first (default 2)")
      ->check(CLI::Range(0, 100));
  backup->add_option("--sectors", o->sectors, "Only these sectors: FIRST:COUNT (may be repeated)")
      ->type_name("FIRST:COUNT");
  backup->add_option("--surface-map", o->surfaceMap,
                     "The map of a surface scan of this disc: its slow and bad places are read last "
                     "(give it again with --resume to keep that order)")
      ->type_name("MAP");
  backup->add_flag("--json", o->json, "The result as JSON");
  backup->callback([o, &session] { RunBackupCommand(session, *o); });

  auto c = std::make_shared<BackupCommandOptions>();
  CLI::App* compare = app.add_subcommand(
      "compare",
      "Compare the disc with an image: the sectors an .ovi names, or a raw image from sector 0. "
      "Lists every differing run; exit code 0 when equal, 1 when not");
  compare->add_option("DRIVE", c->drive, "The drive: E:, e:, E, or a device path")->required();
  compare->add_option("FILE", c->file, "The image file (.ovi, .img, .iso...)")->required();
  compare->add_flag("--json", c->json, "The result as JSON");
  compare->callback([c, &session] { RunCompareCommand(session, c->drive, c->file, c->json); });
}

}  // namespace orv

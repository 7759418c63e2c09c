#include "app/cli/cli_session.h"

#include <cstdio>

#include "app/cli/cli_platform.h"
#include "app/version.h"
#include "app/program_port.h"
#include "toolkit/console_terminal.h"
#include "toolkit/sjis.h"

namespace orv {

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "E", "e", "E:" or "e:" name drive letter E; anything else is not a letter name.
char DriveLetterOf(const std::string& name) {
  const bool letter = !name.empty() && UpperAscii(name[0]) >= 'A' && UpperAscii(name[0]) <= 'Z';
  if (letter && (name.size() == 1 || (name.size() == 2 && name[1] == ':'))) return UpperAscii(name[0]);
  return 0;
}

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

CliSession::CliSession(std::FILE* out, std::FILE* err, std::FILE* in)
    : out_(out), err_(err), in_(in), ui_(err, in) {}
CliSession::~CliSession() = default;

bool CliSession::InputIsTerminal() const { return IsTerminal(in_); }

DriveList& CliSession::Drives() {
  if (drives_) return *drives_;
  ProgramPortSettings settings;
  AddEnvironmentDrives(settings);
  settings.virtualDrives.push_back({"--virtual", virtualDrives});
  settings.virtualOnly = virtualOnly;
  settings.tracePath = tracePath;
  settings.traceWriteData = traceData;
  settings.simulatedClock = simulatedClock;
  std::unique_ptr<DevicePort> port;
  std::string error;
  // The window takes the virtual drives' timing model from the environment; so does the console,
  // unless the session switched it on itself (an unset variable reads as off).
  if (ReadEnvironmentTiming(settings, error) != 0) throw CliError(ConsoleText(error));
  if (virtualTiming) settings.timing = true;
  if (MakeProgramPort(settings, port, error, &notes_) != 0) throw CliError(ConsoleText(error));
  drives_ = std::make_unique<DriveList>(std::move(port));
  return *drives_;
}

void CliSession::FailToOpen(const std::string& shown, const std::string& path) {
  DeviceHandle& device = Drives().Device();
  device.Close();
  if (device.Open(path.c_str(), kOpenSharedReadWrite) == 0) {
    device.Close();
    throw CliError("drive " + shown + " does not answer as a SCSI or ATAPI unit");
  }
  const uint32_t code = device.LastError();
  std::string reason = ConsoleText(SystemErrorText(code));
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  std::string message = "cannot open drive " + shown;
  if (shown != path) message += " (" + ConsoleText(path) + ")";
  if (!reason.empty()) message += ": " + reason;
  if (IsAccessDenied(code)) message += std::string("; ") + AccessDeniedHint();
  throw CliError(message);
}

const DriveRecord& CliSession::FindDrive(const std::string& name) {
  DriveList& drives = Drives();
  const std::vector<DriveCandidate> candidates = drives.Device().DriveCandidates();

  DriveRecord working;
  if (const char letter = DriveLetterOf(name)) {
    const DriveCandidate* found = nullptr;
    for (const DriveCandidate& candidate : candidates) {
      if (candidate.letter == letter) found = &candidate;
    }
    if (!found) throw CliError("drive " + std::string(1, letter) + ": not found");
    working.sourceKind = kSourceDriveLetter;
    working.name = std::string(1, letter) + ":";
    working.path = found->path;
    working.letter = static_cast<uint8_t>(letter);
  } else {
    // A device path: the drive the scan lists under a letter keeps that letter's name.
    working.sourceKind = kSourceDevicePath;
    working.name = name;
    working.path = name;
    for (const DriveCandidate& candidate : candidates) {
      if (SamePath(candidate.path, name)) {
        working.sourceKind = kSourceDriveLetter;
        working.name = std::string(1, candidate.letter) + ":";
        working.letter = static_cast<uint8_t>(candidate.letter);
      }
    }
    // Only virtual drives open with --virtual-only; the system's reason for the refusal
    // ("no such file") would be untrue for a path that exists.
    if (virtualOnly && working.sourceKind == kSourceDevicePath)
      throw CliError(name + " is not a drive the program can use: --virtual-only opens virtual drives only");
  }

  drives.Clear();
  if (drives.Probe(working) != 0 || drives.Count() == 0) {
    FailToOpen(working.sourceKind == kSourceDriveLetter ? working.name : name, working.path);
  }
  return drives.Records().front();
}

void CliSession::Print(std::string_view sjis) {
  const std::string text = ConsoleText(sjis);
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

void CliSession::PrintText(const std::string& out, const std::string& err) {
  std::fwrite(out.data(), 1, out.size(), out_);
  std::fflush(out_);
  std::fwrite(err.data(), 1, err.size(), err_);
  std::fflush(err_);
}

void CliSession::PrintError(std::string_view utf8) {
  std::fprintf(err_, "orvane-cli: %.*s\n", static_cast<int>(utf8.size()), utf8.data());
  std::fflush(err_);
}

JsonValue VersionJson() {
  JsonValue program = JsonValue::Object();
  program.Set("name", "orvane-cli");
  program.Set("version", kVersion);
  JsonValue head = JsonValue::Object();
  head.Set("formatVersion", kJsonFormatVersion);
  head.Set("program", std::move(program));
  return head;
}

void CliSession::PrintJson(const JsonValue& value) {
  JsonValue versioned = VersionJson();
  for (const auto& [name, member] : value.Members()) versioned.Set(name, member);
  PrintText(WriteJson(versioned, 2) + "\n", "");
}

int CliSession::Finish(int code) {
  for (const std::string& line : notes_.Lines()) PrintError(ConsoleText(line));
  if (code == kExitSuccess && notes_.TraceFailed()) return kExitFailure;
  return code;
}

}  // namespace orv

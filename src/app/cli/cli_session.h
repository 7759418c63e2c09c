// What every subcommand of the console front end shares: the console Ui, the drive list with
// the program's port (the OS drives plus the virtual ones), finding a drive by the name the user
// gave, and writing the program's CP932 text to a UTF-8 terminal.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/program_port.h"
#include "device/drive_list.h"
#include "toolkit/console_ui.h"
#include "toolkit/json.h"

namespace orv {

// {"formatVersion": N, "program": {"name": "orvane-cli", "version": "..."}}: what
// `--version --json` prints and the head of every other --json output.
JsonValue VersionJson();

// A failure the user caused or has to act on; main prints its one-line message (UTF-8) and
// ends with exit code 1.
class CliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command line the program cannot run as it stands (an option value of the wrong form); exit
// code 2, as for the usage errors the parser finds.
class CliUsageError : public CliError {
 public:
  using CliError::CliError;
};

// The exit codes: done; a failure the user must act on; a usage error.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class CliSession {
 public:
  // Output goes to `out`, errors, boxes and progress to `err`, answers come from `in`.
  explicit CliSession(std::FILE* out = stdout, std::FILE* err = stderr, std::FILE* in = stdin);
  ~CliSession();

  // --virtual LIST, added after the drives of ORVANE_VIRTUAL_DRIVES.
  std::string virtualDrives;
  // --virtual-only: the computer's own drives are left alone.
  bool virtualOnly = false;
  // --trace FILE: every call through the port goes into FILE; --trace-data: with the data of
  // writes.
  std::string tracePath;
  bool traceData = false;
  // Tests: the virtual drives take real-drive timings, and the drives and the trace keep time
  // with `simulatedClock` when it is set (see ProgramPortSettings).
  bool virtualTiming = false;
  std::shared_ptr<SimulatedClock> simulatedClock;
  // Set by a subcommand that failed without throwing (main returns it).
  int exitCode = 0;

  ConsoleUi& Ui() { return ui_; }
  // Where boxes and questions go, and whether a user at a terminal answers them (a command that
  // changes a disc answers for nobody else: see AnsweringUi).
  std::FILE* ErrorStream() const { return err_; }
  bool InputIsTerminal() const;
  // The drive list, made on first use. Throws CliError when the virtual drive list is malformed
  // or an image of it cannot be opened.
  DriveList& Drives();

  // The drive named `name`: "E:", "e:", "E" or a device path. Only that drive is probed. Throws
  // CliError when it is not there, cannot be opened (with the system's reason), does not answer,
  // or is a path other than a virtual drive's while only virtual drives may be opened. The record stays valid until the next FindDrive or scan.
  const DriveRecord& FindDrive(const std::string& name);

  // Writes the program's text to the output as UTF-8 with LF line ends.
  void Print(std::string_view sjis);
  // Writes UTF-8 text as it is to the output and to the error stream (help and usage texts).
  void PrintText(const std::string& out, const std::string& err);
  // Writes one line of UTF-8 text to the error stream.
  void PrintError(std::string_view utf8);
  // Writes a JSON object to the output, indented, with a line end, after the members every
  // --json output starts with: "formatVersion" and "program" (VersionJson's).
  void PrintJson(const JsonValue& value);

  // The end of a run that ended with `code`: says what the port has to say (a replayed drive's
  // commands its trace does not answer, a trace that ends early) on the error stream, and
  // returns the exit code: a failure when the trace asked for is incomplete.
  int Finish(int code);

 private:
  [[noreturn]] void FailToOpen(const std::string& shown, const std::string& path);

  std::FILE* out_;
  std::FILE* err_;
  std::FILE* in_;
  ConsoleUi ui_;
  std::unique_ptr<DriveList> drives_;
  ProgramPortNotes notes_;
};

}  // namespace orv

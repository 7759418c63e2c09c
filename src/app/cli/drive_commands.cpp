#include "app/cli/drive_commands.h"

#include <CLI/CLI.hpp>

#include "app/cli/cli_platform.h"
#include "app/drive_list_rules.h"
#include "app/drive_summary.h"

namespace orv {

namespace {

// One row: every cell padded to its column's width (in characters, as in the drive list),
// one space apart, trailing spaces cut.
std::string TableRow(const std::string (&cells)[5]) {
  std::string row;
  for (size_t i = 0; i < 5; ++i) {
    std::string cell = cells[i];
    if (i < 4 && cell.size() < kDriveListColumns[i].widthChars) {
      cell.resize(kDriveListColumns[i].widthChars, ' ');
    }
    row += (i ? " " : "") + cell;
  }
  while (!row.empty() && row.back() == ' ') row.pop_back();
  return row + "\n";
}

// The scan passes over a drive it cannot open without a word, as the drive list must. On the
// console a user whose account may not open the device nodes would then read "No drives found."
// with drives attached: name how many were refused, and why, on the error stream.
void WarnDeniedDrives(CliSession& session) {
  DriveList& drives = session.Drives();
  DeviceHandle& device = drives.Device();
  size_t denied = 0;
  for (const DriveCandidate& candidate : device.DriveCandidates()) {
    bool listed = false;
    for (const DriveRecord& record : drives.Records()) listed = listed || record.letter == static_cast<uint8_t>(candidate.letter);
    if (listed) continue;
    if (device.Open(candidate.path.c_str(), kOpenSharedReadWrite) == 0) {
      device.Close();
    } else if (IsAccessDenied(device.LastError())) {
      ++denied;
    }
  }
  if (denied == 0) return;
  session.PrintError(std::to_string(denied) + (denied == 1 ? " drive was" : " drives were") +
                     " not opened for lack of permission; " + AccessDeniedHint());
}

void RunScanCommand(CliSession& session) {
  DriveList& drives = session.Drives();
  if (RunScan(session.Ui(), drives) != 0) throw CliError("the scan could not start");
  if (drives.Count() == 0) {
    session.Print("No drives found.\n");
  } else {
    session.Print(DriveTable(drives.Records()));
  }
  WarnDeniedDrives(session);
}

void RunSummaryCommand(CliSession& session, const std::string& name) {
  const DriveRecord& record = session.FindDrive(name);
  session.Print(DriveSummary(session.Drives().Device(), record));
}

}  // namespace

std::string DriveTable(const std::vector<DriveRecord>& records) {
  const std::string header[5] = {"Drive", "Identification", "Type", "RMB", "   Size"};
  std::string table = TableRow(header);
  for (const DriveRecord& record : records) {
    const DriveRowText row = DriveRow(record);
    const std::string cells[5] = {row.name, row.identification, row.type, row.removable, row.size};
    table += TableRow(cells);
  }
  return table;
}

void AddDriveCommands(CLI::App& app, CliSession& session) {
  CLI::App* scan = app.add_subcommand("scan", "List the drives: name, identification, type, RMB/FIX, size");
  scan->callback([&session] { RunScanCommand(session); });

  CLI::App* summary = app.add_subcommand(
      "summary", "Show a drive's identification, capacity and partition table");
  auto name = std::make_shared<std::string>();
  summary->add_option("DRIVE", *name, "The drive: E:, e:, E, or a device path")->required();
  summary->callback([&session, name] { RunSummaryCommand(session, *name); });
}

}  // namespace orv

#include "app/cli/drive_commands.h"

#include <CLI/CLI.hpp>

#include "app/cli/cli_platform.h"
#include "app/drive_list_rules.h"
#include "app/drive_summary.h"
#include "app/size_text.h"
#include "device/inquiry_view.h"
#include "device/partition_table.h"
#include "toolkit/console_ui.h"

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

// A text of fixed width (an INQUIRY field, a size text) without its padding blanks.
std::string Trimmed(std::string_view field) {
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  return JsonText(field);
}

JsonValue OrNull(uint64_t value, bool known) { return known ? JsonValue(value) : JsonValue(); }

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

void RunScanCommand(CliSession& session, bool json) {
  DriveList& drives = session.Drives();
  if (RunScan(session.Ui(), drives) != 0) throw CliError("the scan could not start");
  if (json) {
    JsonValue list = JsonValue::Array();
    for (const DriveRecord& record : drives.Records()) list.Append(DriveFields(record));
    JsonValue out = JsonValue::Object();
    out.Set("drives", std::move(list));
    session.PrintJson(out);
    WarnDeniedDrives(session);
    return;
  }
  if (drives.Count() == 0) {
    session.Print("No drives found.\n");
  } else {
    session.Print(DriveTable(drives.Records()));
  }
  WarnDeniedDrives(session);
}

// The partitions as the summary lists them: the data partitions and extended slots of the
// master boot record and the data partitions of the chain, then the free space.
void SetPartitions(JsonValue& out, const DriveRecord& record, int result, const PartitionList& partitions) {
  if (result < 1) {
    out.Set("partitions", JsonValue());
    out.Set("unused", JsonValue());
    return;
  }
  JsonValue used = JsonValue::Array();
  JsonValue unused = JsonValue::Array();
  for (const PartitionEntry& entry : partitions) {
    JsonValue p = JsonValue::Object();
    if (entry.number >= 0 && entry.depth < 2) {
      p.Set("number", entry.number + 1);
      p.Set("bootable", entry.Bootable());
      p.Set("type", entry.Type());
      p.Set("typeName", JsonText(PartitionTypeName(entry.Type())));
      p.Set("start", entry.start);
      p.Set("sectors", entry.sectorCount);
      p.Set("size", Trimmed(FormatSize(static_cast<int64_t>(entry.sectorCount * record.BlockLength()))));
      used.Append(std::move(p));
    } else if (entry.number < 0) {
      p.Set("start", entry.start);
      p.Set("sectors", entry.sectorCount);
      unused.Append(std::move(p));
    }
  }
  out.Set("partitions", std::move(used));
  out.Set("unused", std::move(unused));
}

void RunSummaryCommand(CliSession& session, const std::string& name, bool json) {
  const DriveRecord& record = session.FindDrive(name);
  PartitionList partitions;
  const int result = ReadSummaryPartitions(session.Drives().Device(), record, partitions);
  if (!json) {
    session.Print(DriveSummaryText(record, result, partitions));
    return;
  }
  JsonValue out = DriveFields(record);
  SetPartitions(out, record, result, partitions);
  session.PrintJson(out);
}

}  // namespace

std::string JsonText(std::string_view sjis) { return ConsoleText(sjis); }

JsonValue DriveFields(const DriveRecord& record) {
  const InquiryView inquiry(record.unit);
  const DriveRowText row = DriveRow(record);
  const bool capacity = record.BlockCount() != 0 && record.BlockLength() != 0;
  JsonValue d = JsonValue::Object();
  d.Set("name", JsonText(record.name));
  d.Set("path", JsonText(record.path));
  d.Set("identification", JsonText(IdentificationText(record)));
  d.Set("vendor", Trimmed(inquiry.Vendor()));
  d.Set("product", Trimmed(inquiry.Product()));
  d.Set("revision", Trimmed(inquiry.Revision()));
  d.Set("deviceType", inquiry.DeviceType());
  d.Set("type", JsonText(row.type));
  d.Set("removable", IsRemovable(record));
  JsonValue address = JsonValue::Object();
  address.Set("pathId", record.unit.pathId);
  address.Set("targetId", record.unit.targetId);
  address.Set("lun", record.unit.lun);
  d.Set("address", std::move(address));
  d.Set("blockCount", OrNull(record.BlockCount(), capacity));
  d.Set("blockLength", OrNull(record.BlockLength(), capacity));
  d.Set("bytes", OrNull(record.CapacityBytes(), capacity));
  d.Set("size", capacity ? JsonValue(Trimmed(row.size)) : JsonValue());
  return d;
}

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
  auto json = std::make_shared<bool>(false);
  CLI::App* scan = app.add_subcommand("scan", "List the drives: name, identification, type, RMB/FIX, size");
  scan->add_flag("--json", *json, "Print the drives as JSON");
  scan->callback([&session, json] { RunScanCommand(session, *json); });

  CLI::App* summary = app.add_subcommand(
      "summary", "Show a drive's identification, capacity and partition table");
  auto name = std::make_shared<std::string>();
  summary->add_option("DRIVE", *name, "The drive: E:, e:, E, or a device path")->required();
  summary->add_flag("--json", *json, "Print the summary as JSON");
  summary->callback([&session, name, json] { RunSummaryCommand(session, *name, *json); });
}

}  // namespace orv

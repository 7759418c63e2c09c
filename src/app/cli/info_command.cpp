#include "app/cli/info_command.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <string>

#include "app/cli/drive_commands.h"
#include "report/build_report.h"

namespace orv {
namespace {

// A section's text always ends its last line; a title shown in its place gets a line end.
std::string EndedLine(std::string_view text) {
  std::string line(text);
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) line += "\r\n";
  return line;
}

struct InfoOptions {
  std::string drive;
  bool json = false;
  bool list = false;
  bool oneSection = false;  // --section was given
  int64_t section = 0;      // as given: anything outside 1..N is refused once N is known
};

// A section number the report does not have, refused with the numbers it does have.
[[noreturn]] void FailNoSuchSection(int64_t section, size_t sections) {
  std::string message = "no section " + std::to_string(section) + ": the report has ";
  message += sections == 0 ? std::string("no sections") : "sections 1 to " + std::to_string(sections);
  throw CliError(message);
}

// The report as JSON: the drive, the decoded identification, capacity and geometry, and the
// sections (all, or the one asked for; without their text for --list).
JsonValue ReportJson(const DriveRecord& record, const DriveReport& report, const InfoOptions& options) {
  JsonValue out = JsonValue::Object();
  out.Set("drive", DriveFields(record));
  out.Set("identification", JsonText(report.Identification()));
  JsonValue capacity;
  for (size_t row = 0; row < report.RowCount(); ++row) {
    const ReportSection& s = report.Row(row);
    if (s.kind != kSectionCapacity || s.subKind != kSectionHead) continue;
    capacity = JsonValue::Object();
    capacity.Set("blockCount", s.valueA);
    capacity.Set("blockLength", s.valueB);
    capacity.Set("bytes", s.valueA * s.valueB);
  }
  out.Set("capacity", std::move(capacity));
  JsonValue geometry;
  if (const ReportGeometry* g = report.Geometry()) {
    geometry = JsonValue::Object();
    geometry.Set("mediaType", g->mediaType);
    geometry.Set("mediaTypeName", JsonText(g->mediaTypeName));
    geometry.Set("cylinders", g->cylinders);
    geometry.Set("tracksPerCylinder", g->tracksPerCylinder);
    geometry.Set("sectorsPerTrack", g->sectorsPerTrack);
    geometry.Set("bytesPerSector", g->bytesPerSector);
  }
  out.Set("geometry", std::move(geometry));
  JsonValue sections = JsonValue::Array();
  for (size_t row = 1; row <= report.RowCount(); ++row) {
    if (options.oneSection && static_cast<uint64_t>(options.section) != row) continue;
    const ReportSection& s = report.Row(row - 1);
    JsonValue section = JsonValue::Object();
    section.Set("number", row);
    // The list's indent of a child title is the level.
    std::string_view title = s.title;
    if (s.subKind == kSectionChild && title.substr(0, 2) == "  ") title.remove_prefix(2);
    section.Set("title", JsonText(title));
    section.Set("level", s.subKind == kSectionChild ? 1 : 0);
    if (!options.list) section.Set("text", JsonText(s.text));
    sections.Append(std::move(section));
  }
  out.Set("sections", std::move(sections));
  return out;
}

void RunInfoCommand(CliSession& session, const InfoOptions& options) {
  const DriveRecord& record = session.FindDrive(options.drive);
  DeviceHandle& device = session.Drives().Device();
  DriveReport report;
  const int rc = GatherDriveReport(session.Ui(), report, device, record);
  device.Close();
  if (rc < 0) throw CliError("cannot open drive " + options.drive);
  if (rc > 0) throw CliError("cancelled");

  const auto requireSection = [&] {
    if (options.section < 1 || static_cast<uint64_t>(options.section) > report.RowCount())
      FailNoSuchSection(options.section, report.RowCount());
  };
  if (options.json) {
    if (options.oneSection) requireSection();
    session.PrintJson(ReportJson(record, report, options));
  } else if (options.list) {
    session.Print(ReportTitles(report));
  } else if (options.oneSection) {
    requireSection();
    session.Print(ReportSectionText(report, static_cast<size_t>(options.section)));
  } else {
    session.Print(ReportText(report));
  }
}

}  // namespace

std::string ReportSectionText(const DriveReport& report, size_t row) {
  return EndedLine(report.RowTitle(row - 1)) + EndedLine(report.RowDisplayText(row - 1));
}

std::string ReportText(const DriveReport& report) {
  std::string text = EndedLine(report.Identification());
  for (size_t row = 1; row <= report.RowCount(); ++row) text += "\r\n" + ReportSectionText(report, row);
  return text;
}

std::string ReportTitles(const DriveReport& report) {
  std::string text;
  for (size_t row = 0; row < report.RowCount(); ++row) text += EndedLine(report.RowTitle(row));
  return text;
}

void AddInfoCommand(CLI::App& app, CliSession& session) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* info = app.add_subcommand(
      "info", "Show a drive's information report: identification, capacity, mode pages, features, DVD structures");
  info->add_option("DRIVE", options->drive, "The drive: E:, e:, E, or a device path")->required();
  info->add_flag("--list", options->list, "Print only the section titles, in report order");
  info->add_flag("--json", options->json, "Print the report as JSON (with --list or --section: those sections)");
  // No range check here: the valid range is known only once the report is gathered.
  CLI::Option* section =
      info->add_option("--section", options->section, "Print only section N (counting from 1, as --list shows them)")
          ->type_name("N");
  info->callback([&session, options, section] {
    options->oneSection = section->count() != 0;
    RunInfoCommand(session, *options);
  });
}

}  // namespace orv

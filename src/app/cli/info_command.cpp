#include "app/cli/info_command.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <string>

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

void RunInfoCommand(CliSession& session, const InfoOptions& options) {
  const DriveRecord& record = session.FindDrive(options.drive);
  DeviceHandle& device = session.Drives().Device();
  DriveReport report;
  const int rc = GatherDriveReport(session.Ui(), report, device, record);
  device.Close();
  if (rc < 0) throw CliError("cannot open drive " + options.drive);
  if (rc > 0) throw CliError("cancelled");

  if (options.list) {
    session.Print(ReportTitles(report));
  } else if (options.oneSection) {
    if (options.section < 1 || static_cast<uint64_t>(options.section) > report.RowCount())
      FailNoSuchSection(options.section, report.RowCount());
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

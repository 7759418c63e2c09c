// The `info DRIVE` subcommand: the drive information report on the console.
#pragma once

#include <string>

#include "app/cli/cli_session.h"
#include "report/report.h"

namespace CLI {
class App;
}

namespace orv {

void AddInfoCommand(CLI::App& app, CliSession& session);

// The report as the console shows it (CP932 text, CR LF lines as in the sections):
// - the whole report: the identification line, then each section's title followed by the text
//   shown when its row is chosen, sections one blank line apart;
// - the titles only, one per line, as the section list shows them;
// - one section, `row` counting from 1.
std::string ReportText(const DriveReport& report);
std::string ReportTitles(const DriveReport& report);
std::string ReportSectionText(const DriveReport& report, size_t row);

}  // namespace orv

// The subcommands that find drives and show what is on them: `scan` and `summary DRIVE`.
#pragma once

#include <string>
#include <vector>

#include "app/cli/cli_session.h"

namespace CLI {
class App;
}

namespace orv {

void AddDriveCommands(CLI::App& app, CliSession& session);

// The drive list as a table: a header, then one row per record with the five cell texts of the
// drive list. CP932 text, LF line ends.
std::string DriveTable(const std::vector<DriveRecord>& records);

}  // namespace orv

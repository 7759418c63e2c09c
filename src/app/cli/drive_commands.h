// The subcommands that find drives and show what is on them: `scan` and `summary DRIVE`.
#pragma once

#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "toolkit/json.h"

namespace CLI {
class App;
}

namespace orv {

void AddDriveCommands(CLI::App& app, CliSession& session);

// The drive list as a table: a header, then one row per record with the five cell texts of the
// drive list. CP932 text, LF line ends.
std::string DriveTable(const std::vector<DriveRecord>& records);

// A record as the --json outputs give it: name, path, identification and its parts, device
// type, the drive list's type text, removable, address, capacity (null without a disc).
JsonValue DriveFields(const DriveRecord& record);

// A program text (CP932) as a JSON string's UTF-8, with LF line ends.
std::string JsonText(std::string_view sjis);

}  // namespace orv

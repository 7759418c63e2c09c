// The image tools of the console front end: `image list|verify|extract|create`. Each prints its
// report through the session, ends with the session's exit code 0 or 1, and throws CliError for
// a failure that leaves nothing to report.
#pragma once

namespace CLI {
class App;
}

namespace orv {

class CliSession;

// Registers `image list|verify|extract|create`.
void AddImageCommands(CLI::App& app, CliSession& session);

}  // namespace orv

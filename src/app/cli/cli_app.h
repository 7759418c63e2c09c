// The console front end as a function, so that tests run it in-process.
#pragma once

#include <string>
#include <vector>

#include "app/cli/cli_session.h"

namespace orv {

// Parses `args` (without the program name) and runs the subcommand. Returns the exit code: 0
// on success and for --help, 1 for a failure the user must act on, 2 for a usage error (each
// one line on the session's error stream).
int RunCli(const std::vector<std::string>& args, CliSession& session);

}  // namespace orv

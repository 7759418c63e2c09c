// orvane-cli: the console front end. The subcommands live in their own files and join in RunCli.
#include <string>
#include <vector>

#include "app/cli/cli_app.h"
#include "toolkit/console_terminal.h"

int main(int argc, char** argv) {
  orv::PrepareConsoleOutput();
  orv::CliSession session;
  return orv::RunCli(std::vector<std::string>(argv + 1, argv + argc), session);
}

#include "app/cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <sstream>

#include "app/cli/backup_command.h"
#include "app/cli/bench_command.h"
#include "app/cli/drive_commands.h"
#include "app/cli/erase_command.h"
#include "app/cli/image_commands.h"
#include "app/cli/info_command.h"
#include "app/cli/surface_command.h"
#include "app/cli/write_command.h"
#include "app/version.h"

namespace orv {

namespace {

// `orvane-cli --version [--json]`: answered before the subcommands are parsed, since it needs
// none. Anything else beside it goes to the parser, which then says what is wrong.
bool IsVersionRequest(const std::vector<std::string>& args, bool& json) {
  bool version = false;
  json = false;
  for (const std::string& arg : args) {
    if (arg == "--version") {
      version = true;
    } else if (arg == "--json") {
      json = true;
    } else {
      return false;
    }
  }
  return version;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliSession& session) {
  bool versionJson = false;
  if (IsVersionRequest(args, versionJson)) {
    if (versionJson)
      session.PrintJson(JsonValue::Object());
    else
      session.PrintText(std::string("orvane-cli ") + kVersion + "\n", "");
    return kExitSuccess;
  }
  CLI::App app{"Orvane, the DVD-RAM drive utility, on the console.", "orvane-cli"};
  app.require_subcommand(1);
  // Listed for --help; a run with it alone (and --json) never reaches the parser.
  bool versionListed = false;
  app.add_flag("--version", versionListed, "Print the program's version and end (with --json: as a JSON object)");
  // Options are written --name on every system. The parser's Windows default would take "/name"
  // for an option too, and so swallow a file given by a root-relative path ("/images/disc.ovi",
  // or any POSIX path handed to the program under Wine) and report the FILE argument missing.
  app.allow_windows_style_options(false);
  // Options of the program may stand after the subcommand too.
  app.fallthrough();
  app.add_option("--virtual", session.virtualDrives,
                 "Add virtual drives: LETTER=PRESET[:IMAGE],... as in ORVANE_VIRTUAL_DRIVES "
                 "(presets dvdram, dvdrom, hdd, nodisc; a missing image file is created)")
      ->type_name("LIST");
  app.add_flag("--virtual-only", session.virtualOnly,
               "Leave the computer's own drives alone: only virtual drives are listed and opened");
  CLI::Option* trace = app.add_option("--trace", session.tracePath,
                                      "Write every command sent to a drive, and its answer, to FILE (one JSON line "
                                      "each; replay it with --virtual E=replay:FILE)")
                           ->type_name("FILE");
  app.add_flag("--trace-data", session.traceData, "Put the data of writes into the trace too (left out unless given)")
      ->needs(trace);

  AddDriveCommands(app, session);
  AddImageCommands(app, session);
  AddInfoCommand(app, session);
  AddEraseCommand(app, session);
  AddBenchCommand(app, session);
  AddWriteCommand(app, session);
  AddBackupCommands(app, session);
  AddSurfaceCommand(app, session);
  // Subcommands of later subsystems join here, one call each.

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  int code = kExitSuccess;
  try {
    app.parse(reversed);
    code = session.exitCode;
  } catch (const CLI::ParseError& e) {
    std::ostringstream out, err;
    code = app.exit(e, out, err) == 0 ? kExitSuccess : kExitUsage;
    session.PrintText(out.str(), err.str());
  } catch (const CliUsageError& e) {
    session.PrintError(e.what());
    code = kExitUsage;
  } catch (const CliError& e) {
    session.PrintError(e.what());
    code = kExitFailure;
  } catch (const std::exception& e) {
    session.PrintError(std::string("unexpected failure: ") + e.what());
    code = kExitFailure;
  }
  return session.Finish(code);
}

}  // namespace orv

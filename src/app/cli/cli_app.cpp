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
#include "app/cli/write_command.h"

namespace orv {

int RunCli(const std::vector<std::string>& args, CliSession& session) {
  CLI::App app{"Orvane, the DVD-RAM drive utility, on the console.", "orvane-cli"};
  app.require_subcommand(1);
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

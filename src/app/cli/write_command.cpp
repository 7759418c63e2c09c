#include "app/cli/write_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "app/cli/answering_ui.h"
#include "app/cli/cli_session.h"
#include "operations/disc_backup.h"
#include "operations/image_write.h"
#include "operations/image_write_texts.h"
#include "operations/write_target.h"

namespace orv {

namespace {

struct WriteOptions {
  std::string drive;
  std::string file;
  bool yes = false;
  bool shared = false;
  bool verify = false;
};

void RunWriteCommand(CliSession& session, const WriteOptions& o) {
  const DriveRecord& record = session.FindDrive(o.drive);
  AnsweringUi ui(session.Ui(), session.ErrorStream(), session.InputIsTerminal());
  if (o.yes) ui.Answer(QuestionId::kImageWriteConfirm, kIdYes);
  if (o.shared) ui.Answer(QuestionId::kSharedMode, kIdYes);
  ImageWriteOptions options;
  options.verify = o.verify;
  const ImageWriteResult result = RunImageWrite(ui, session.Drives(), record, o.file, options);
  switch (result.end) {
    case ImageWriteEnd::kCompleted:
      session.Print("Wrote " + std::to_string(result.sectorsWritten) + " of " + std::to_string(result.sectorsToWrite) +
                    " sectors" + (o.verify ? ", read back and compared" : "") + ".\n");
      session.exitCode = 0;
      return;
    case ImageWriteEnd::kDeclined:
      throw CliError(std::string("nothing written: the write was not confirmed") +
                     (ui.Interactive() ? "" : " (no terminal to ask at; --yes confirms it)"));
    case ImageWriteEnd::kRefused:
      // The box said why; an unfinished backup also gets the command that finishes it.
      if (IsUnfinishedBackup(o.file)) {
        throw CliError(o.file + " is an unfinished backup: resume the backup (orvane-cli backup DRIVE " + o.file +
                       " --resume), then write it");
      }
      session.exitCode = 1;
      return;
    case ImageWriteEnd::kFailed:
    case ImageWriteEnd::kInterrupted:
      session.Print("Wrote " + std::to_string(result.sectorsWritten) + " of " + std::to_string(result.sectorsToWrite) +
                    " sectors.\n");
      session.exitCode = 1;
      return;
  }
}

}  // namespace

void AddWriteCommand(CLI::App& app, CliSession& session) {
  auto o = std::make_shared<WriteOptions>();
  CLI::App* write = app.add_subcommand(
      "write",
      "Write an image file onto the disc: an .ovi file, or a file of any name that starts with a block "
      "header, block by block at the sectors its blocks name (an erase backup goes back where it came "
      "from), any other file from sector 0. Exit code 0 only when every sector was written (and read "
      "back equal with --verify)");
  write->add_option("DRIVE", o->drive, "The drive: E:, e:, E, or a device path")->required();
  write->add_option("FILE", o->file, "The image file (.ovi, .img, .iso...)")->required();
  write->add_flag("--yes", o->yes, "Answer Yes to the confirmation (needed without a terminal)");
  write->add_flag("--shared", o->shared,
                  "Answer Yes to opening the drive shared when another program has it open");
  write->add_flag("--verify", o->verify,
                  "Read every written sector back and compare it with the image; the first sector "
                  "that differs is named");
  write->callback([o, &session] { RunWriteCommand(session, *o); });
}

}  // namespace orv

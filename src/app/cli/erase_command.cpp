#include "app/cli/erase_command.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/cli/answering_ui.h"
#include "app/cli/cli_session.h"
#include "operations/erase_texts.h"
#include "operations/erase_with_backup.h"
#include "operations/write_target.h"
#include "toolkit/console_ui.h"

namespace orv {
namespace {

struct EraseCliOptions {
  std::string drive;
  std::optional<std::string> backup;
  bool noBackup = false;
  bool yes = false;
  bool shared = false;
  bool overwrite = false;
};

// A terminal redraws the progress line in place, so of the progress box's message, several
// lines (the drive, a blank line, what runs), the drive is printed once when the box opens and
// only the last line ("erasing the disc") stays, on the redrawn line with the status and the
// bar, which is gone again at the end: a log must not say the disc was being erased when the
// backup failed and nothing was.
class EraseConsoleUi : public Ui {
 public:
  explicit EraseConsoleUi(Ui& inner) : inner_(inner) {}
  uint32_t ShowBox(const MessageBoxSpec& box) override { return inner_.ShowBox(box); }
  int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) override {
    return inner_.ChooseOpenFile(choice, path);
  }
  int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) override {
    return inner_.ChooseSaveFile(choice, path);
  }
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec,
                                            std::function<void()> onCloseRequest) override {
    ProgressBoxSpec line = boxSpec;
    const size_t end = line.message.rfind('\n');
    MessageBoxSpec shown;
    shown.text = end == std::string::npos ? std::string() : boxSpec.message.substr(0, end + 1);
    shown.caption = boxSpec.caption;
    shown.style = 0x0F;  // no buttons: printed, not asked
    inner_.ShowBox(shown);
    if (end != std::string::npos) line.message.erase(0, end + 1);
    return inner_.OpenProgress(line, std::move(onCloseRequest));
  }
  bool ProcessMessages(uint32_t idleMs) override { return inner_.ProcessMessages(idleMs); }

 private:
  Ui& inner_;
};

std::string Shown(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The one line after a run that did not erase, saying what state the disc and the file are in:
// whether the disc was touched is told by the sectors actually written.
std::string Outcome(const EraseReport& report) {
  const std::string kept = report.backup.empty() ? std::string() : "; " + Shown(report.backup) + " holds what was there";
  switch (report.end) {
    case EraseEnd::kErased: return {};
    case EraseEnd::kZeroFailed:
      if (report.zeroed == 0) return "the first write failed: nothing was erased" + kept;
      return "the erase stopped part-way: " + std::to_string(report.zeroed) + " sectors of the disc are zeroed" + kept;
    case EraseEnd::kBackupFailed: return "the backup could not be made: nothing was erased, no backup was left";
    case EraseEnd::kBackupRefused: return "the backup cannot go there: nothing was read or erased";
    case EraseEnd::kWriteProtected: return "the medium is write-protected: nothing was erased";
    case EraseEnd::kInterrupted: return "interrupted before the first zero: nothing was erased" + kept;
    default: return "nothing was erased";
  }
}

void RunEraseCommand(CliSession& session, const EraseCliOptions& options) {
  const bool interactive = session.InputIsTerminal();
  const bool saveAnswered = options.backup.has_value() || options.noBackup;
  if (!interactive && (!saveAnswered || !options.yes))
    throw CliError("erase asks before it destroys anything, and standard input is not a terminal to ask at: "
                   "give --backup FILE (or --no-backup) and --yes; nothing was erased");
  if (options.backup && options.backup->empty()) throw CliUsageError("--backup needs a file name; nothing was erased");
  if (options.overwrite && !options.backup) throw CliUsageError("--overwrite goes with --backup FILE; nothing was erased");

  DriveRecord record = session.FindDrive(options.drive);
  AnsweringUi answers(session.Ui(), session.ErrorStream(), interactive);
  EraseAnswers given;
  if (options.backup) given.backup = std::filesystem::path(std::u8string(options.backup->begin(), options.backup->end()));
  given.noBackup = options.noBackup;
  given.yes = options.yes;
  given.shared = options.shared;
  given.overwrite = options.overwrite;
  RegisterEraseAnswers(answers, given);
  EraseConsoleUi ui(answers);

  EraseReport report;
  EraseWithBackup(ui, session.Drives(), record, EraseOptions{}, &report);
  session.Drives().Device().Close();
  session.exitCode = report.end == EraseEnd::kErased ? 0 : 1;
  if (session.exitCode == 0) return;
  std::string outcome = Outcome(report);
  std::error_code ec;
  if (report.end == EraseEnd::kSaveCancelled && given.backup && !options.overwrite && !interactive &&
      std::filesystem::is_regular_file(*given.backup, ec))
    outcome += " (" + Shown(*given.backup) + " exists: --overwrite replaces it)";
  session.PrintError(outcome);
}

}  // namespace

void RegisterEraseAnswers(AnsweringUi& ui, const EraseAnswers& answers) {
  if (answers.backup) {
    ui.Answer(QuestionId::kSaveBeforeErase, kIdYes);
    ui.AnswerSaveFile(*answers.backup);
  } else if (answers.noBackup) {
    ui.Answer(QuestionId::kSaveBeforeErase, kIdNo);
  }
  if (answers.yes) ui.Answer(QuestionId::kEraseConfirm, kIdYes);
  if (answers.shared) ui.Answer(QuestionId::kSharedMode, kIdYes);
  if (answers.overwrite) ui.Answer(QuestionId::kOverwriteFile, kIdYes);
}

void AddEraseCommand(CLI::App& app, CliSession& session) {
  auto options = std::make_shared<EraseCliOptions>();
  CLI::App* erase = app.add_subcommand(
      "erase",
      "Erase a disc: overwrite the first and the last 128 KiB of the disc in DRIVE with zeros (64 sectors "
      "at each end for 2048-byte sectors, 56 for 2352-byte ones; the whole disc when it is smaller than "
      "256 KiB). That is where file systems and partition tables keep their anchors, so the disc then reads "
      "as blank; every other sector keeps its bytes. Before anything is written, the erase offers to save "
      "exactly those sectors into an .ovi backup, which writing the image back to the disc restores. "
      "A backup path that is the disc itself (its device, its image file by any name or link), any other "
      "device or a folder is refused before the drive is opened; a write-protected disc is refused before "
      "anything is read. Ctrl-C stops it until the first zero is written (the disc then is as it was); "
      "once it writes zeros it runs to the end.");
  erase->add_option("DRIVE", options->drive, "The drive: E:, e:, E, or a device path")->required();
  CLI::Option* backup =
      erase->add_option("--backup", options->backup, "Answer the save question Yes and save the backup to FILE")
          ->type_name("FILE");
  CLI::Option* noBackup =
      erase->add_flag("--no-backup", options->noBackup, "Answer the save question No: erase without a backup");
  backup->excludes(noBackup);
  erase->add_flag("--overwrite", options->overwrite,
                  "Answer Yes to replacing the file --backup names when one exists (without it the erase asks "
                  "at the terminal, and without a terminal it does not run)");
  erase->add_flag("--yes", options->yes, "Answer the final question (really erase?) Yes");
  erase->add_flag("--shared", options->shared,
                  "When another program has the drive open (on Linux: a file system of it is mounted), "
                  "answer Yes to opening it shared; without it the erase ends there");
  erase->callback([&session, options] { RunEraseCommand(session, *options); });
}

}  // namespace orv

// The `erase DRIVE` subcommand: the disc erase with backup on the console, asking the same
// questions in the same order as the window does. Options answer them ahead: --backup FILE or
// --no-backup the save question, --overwrite the replacing of an existing FILE, --yes the final
// confirmation, --shared the shared-mode question.
// Without a terminal on standard input it runs only when the save question and the confirmation
// are answered by options, and changes nothing otherwise. Exit code 0 only when the erase
// completed.
#pragma once

namespace CLI {
class App;
}

#include <filesystem>
#include <optional>

namespace orv {

class AnsweringUi;
class CliSession;

void AddEraseCommand(CLI::App& app, CliSession& session);

// The answers the options give: `backup` answers the save question Yes and the save choice with
// its path, `noBackup` answers it No, `yes` the confirmation, `shared` the shared-mode question,
// `overwrite` the question whether to replace an existing backup file.
struct EraseAnswers {
  std::optional<std::filesystem::path> backup;
  bool noBackup = false;
  bool yes = false;
  bool shared = false;
  bool overwrite = false;
};
void RegisterEraseAnswers(AnsweringUi& ui, const EraseAnswers& answers);

}  // namespace orv

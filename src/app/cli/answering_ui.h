// The console Ui with answers given on the command line (--yes, --shared, --backup FILE...).
// A question whose identity has a registered answer is shown and answered without reading the
// input; a file choice with a registered path takes it. A save choice naming a file that exists
// asks the overwrite question (QuestionId::kOverwriteFile), as the window's save dialog does.
// Anything else goes to the terminal; when standard input is not a terminal nobody can see the
// question, so it gets the answer after which nothing changes (No, or Cancel where the box
// offers it) and a file choice is cancelled.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/console_ui.h"

namespace orv {

class AnsweringUi : public Ui {
 public:
  // Boxes and answers are written to `err`; unanswered questions go to `console`.
  // `interactive`: standard input is a terminal a user answers at.
  AnsweringUi(ConsoleUi& console, std::FILE* err, bool interactive);

  // The question `question` is answered with `id` (when its box has that button); a later
  // answer to the same question replaces an earlier one.
  void Answer(QuestionId question, uint32_t id);
  // The next open / save choices take this path.
  void AnswerOpenFile(std::filesystem::path path) { openFile_ = std::move(path); }
  void AnswerSaveFile(std::filesystem::path path) { saveFile_ = std::move(path); }

  bool Interactive() const { return interactive_; }

  uint32_t ShowBox(const MessageBoxSpec& box) override;
  int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec,
                                            std::function<void()> onCloseRequest) override {
    return console_.OpenProgress(boxSpec, std::move(onCloseRequest));
  }
  bool ProcessMessages(uint32_t idleMs) override { return console_.ProcessMessages(idleMs); }

 private:
  struct Rule {
    QuestionId question;
    uint32_t id;
  };
  uint32_t Shown(const MessageBoxSpec& box, uint32_t id, const char* why);
  int Chosen(const FileChoiceSpec& choice, std::optional<std::filesystem::path>& answer,
             std::filesystem::path& path, bool save);

  ConsoleUi& console_;
  std::FILE* err_;
  bool interactive_;
  std::vector<Rule> rules_;
  std::optional<std::filesystem::path> openFile_;
  std::optional<std::filesystem::path> saveFile_;
};

// The answer after which no operation changes anything: No where the box has it and no Cancel,
// else Cancel; OK for a box with only OK.
uint32_t SafeAnswer(uint32_t style);

// The overwrite question for `path` (CP932 text; Yes / No, warning icon).
MessageBoxSpec OverwriteQuestion(const std::filesystem::path& path);

}  // namespace orv

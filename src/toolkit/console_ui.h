// The Ui of the console front end. Boxes and questions go to the error stream and are answered
// on the input stream; progress is drawn on the error stream when it is a terminal; Ctrl-C (or
// SIGTERM) while a progress box is open becomes that box's close request, so the operation stops
// cleanly.
// Text is the program's CP932 and is written as UTF-8.
#pragma once

#include <cstdio>
#include <memory>

#include "toolkit/ui.h"

namespace orv {

class ConsoleUi : public Ui {
 public:
  // `err` receives boxes, prompts and progress; `in` gives the answers.
  explicit ConsoleUi(std::FILE* err = stderr, std::FILE* in = stdin);
  ~ConsoleUi() override;

  // Answers every question box with Yes (and every OK box with OK) without reading the input.
  void SetAssumeYes(bool yes) { assumeYes_ = yes; }

  uint32_t ShowBox(const MessageBoxSpec& box) override;
  int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec,
                                            std::function<void()> onCloseRequest) override;
  bool ProcessMessages(uint32_t idleMs) override;

 private:
  class Box;
  struct Shared;
  int ChooseFile(const FileChoiceSpec& choice, std::filesystem::path& path);
  bool ReadLine(std::string& line);

  std::FILE* err_;
  std::FILE* in_;
  bool assumeYes_ = false;
  std::shared_ptr<Shared> shared_;
};

// The text for a terminal: CP932 to UTF-8, CR LF to LF.
std::string ConsoleText(std::string_view sjis);

}  // namespace orv

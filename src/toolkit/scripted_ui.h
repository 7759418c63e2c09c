// A Ui for tests: answers boxes and file choices from queues, presses a progress box's button at
// a chosen status, and records everything it was asked to show, with the exact text.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/ui.h"

namespace orv {

struct RecordedBox {
  MessageBoxSpec box;
  uint32_t answer = 0;
};

struct RecordedFileChoice {
  bool save = false;
  FileChoiceSpec choice;
  std::filesystem::path proposed;  // the path the caller offered
  int result = -1;
};

struct RecordedProgress {
  ProgressBoxSpec boxSpec;
  // Every call in order: "status TEXT", "range N", "pos N"; then "close request" when the
  // scripted user pressed the button and "closed" when the box was closed.
  std::vector<std::string> events;
  std::string status;  // the status line as last set
  uint32_t range = 0;
  uint32_t position = 0;
  bool closeRequested = false;
  bool closed = false;
};

class ScriptedUi : public Ui {
 public:
  ScriptedUi();
  ~ScriptedUi() override;

  // The answer to the next box. A box asked with the queue empty gets kIdClosed.
  void QueueAnswer(uint32_t id);
  // The next file choice: a path is chosen, an empty path cancels. With the queue empty the
  // choice is cancelled.
  void QueueFile(std::filesystem::path path);
  // The scripted user presses the progress box's button as soon as the worker sets this status.
  // The worker is held inside SetStatus until the request has been handled on the thread that
  // pumps messages, so what the operation does next is deterministic.
  void PressProgressButtonOnStatus(std::string status);
  // ProcessMessages answers "quit" (false) from its n-th call on (1 = the first call).
  void QuitOnProcessCall(int n);

  std::vector<RecordedBox> Boxes() const;
  std::vector<RecordedFileChoice> FileChoices() const;
  std::vector<RecordedProgress> ProgressBoxes() const;
  int ProcessCalls() const;

  uint32_t ShowBox(const MessageBoxSpec& box) override;
  int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec,
                                            std::function<void()> onCloseRequest) override;
  bool ProcessMessages(uint32_t idleMs) override;

 private:
  class Box;
  struct State;
  int ChooseFile(bool save, const FileChoiceSpec& choice, std::filesystem::path& path);

  std::shared_ptr<State> state_;
};

}  // namespace orv

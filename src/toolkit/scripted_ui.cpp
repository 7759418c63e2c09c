#include "toolkit/scripted_ui.h"

#include <thread>  // std::chrono durations and clocks (<chrono> itself does not compile with a CP932 execution charset)
#include <utility>

namespace orv {

struct ScriptedUi::State {
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::deque<uint32_t> answers;
  std::deque<std::filesystem::path> files;
  std::deque<std::string> pressOnStatus;
  int quitFrom = 0;
  int processCalls = 0;
  std::vector<RecordedBox> boxes;
  std::vector<RecordedFileChoice> fileChoices;
  std::vector<RecordedProgress> progress;

  // One per progress box ever opened, same index as `progress`.
  struct Live {
    std::function<void()> onCloseRequest;
    std::thread::id opener;
    bool pressPending = false;
  };
  std::vector<Live> live;
};

class ScriptedUi::Box : public ProgressBox {
 public:
  Box(std::shared_ptr<State> state, size_t index) : state_(std::move(state)), index_(index) {}
  ~Box() override { Close(); }

  void SetStatus(std::string_view text) override {
    std::unique_lock lock(state_->mutex);
    RecordedProgress& rec = state_->progress[index_];
    if (rec.closed) return;
    rec.status = std::string(text);
    rec.events.push_back("status " + rec.status);
    if (state_->pressOnStatus.empty() || state_->pressOnStatus.front() != text) return;
    state_->pressOnStatus.pop_front();
    State::Live& live = state_->live[index_];
    if (live.opener == std::this_thread::get_id()) {
      // No worker: the operation runs on the pumping thread, so the press is handled here.
      lock.unlock();
      Press(state_, index_);
      return;
    }
    live.pressPending = true;
    state_->changed.notify_all();
    // A safety limit instead of a hang when nobody pumps messages: the test then fails on the
    // recorded events.
    state_->changed.wait_for(lock, std::chrono::seconds(10), [&] {
      return !state_->live[index_].pressPending || state_->progress[index_].closed;
    });
  }

  void SetRange(uint32_t maximum) override {
    std::lock_guard lock(state_->mutex);
    RecordedProgress& rec = state_->progress[index_];
    if (rec.closed) return;
    rec.range = maximum;
    rec.events.push_back("range " + std::to_string(maximum));
  }

  void SetPosition(uint32_t position) override {
    std::lock_guard lock(state_->mutex);
    RecordedProgress& rec = state_->progress[index_];
    if (rec.closed) return;
    rec.position = position;
    rec.events.push_back("pos " + std::to_string(position));
  }

  bool IsOpen() const override {
    std::lock_guard lock(state_->mutex);
    return !state_->progress[index_].closed;
  }

  void Close() override {
    std::lock_guard lock(state_->mutex);
    RecordedProgress& rec = state_->progress[index_];
    if (rec.closed) return;
    rec.closed = true;
    rec.events.push_back("closed");
    state_->live[index_].pressPending = false;
    state_->changed.notify_all();
  }

  // The user's press: the close request runs, then the box is gone.
  static void Press(const std::shared_ptr<State>& state, size_t index) {
    std::function<void()> request;
    {
      std::lock_guard lock(state->mutex);
      RecordedProgress& rec = state->progress[index];
      if (rec.closed) return;
      rec.closeRequested = true;
      rec.events.push_back("close request");
      request = state->live[index].onCloseRequest;
    }
    if (request) request();
    std::lock_guard lock(state->mutex);
    RecordedProgress& rec = state->progress[index];
    if (!rec.closed) {
      rec.closed = true;
      rec.events.push_back("closed");
    }
    state->live[index].pressPending = false;
    state->changed.notify_all();
  }

 private:
  std::shared_ptr<State> state_;
  size_t index_;
};

ScriptedUi::ScriptedUi() : state_(std::make_shared<State>()) {}
ScriptedUi::~ScriptedUi() = default;

void ScriptedUi::QueueAnswer(uint32_t id) {
  std::lock_guard lock(state_->mutex);
  state_->answers.push_back(id);
}

void ScriptedUi::QueueFile(std::filesystem::path path) {
  std::lock_guard lock(state_->mutex);
  state_->files.push_back(std::move(path));
}

void ScriptedUi::PressProgressButtonOnStatus(std::string status) {
  std::lock_guard lock(state_->mutex);
  state_->pressOnStatus.push_back(std::move(status));
}

void ScriptedUi::QuitOnProcessCall(int n) {
  std::lock_guard lock(state_->mutex);
  state_->quitFrom = n;
}

std::vector<RecordedBox> ScriptedUi::Boxes() const {
  std::lock_guard lock(state_->mutex);
  return state_->boxes;
}

std::vector<RecordedFileChoice> ScriptedUi::FileChoices() const {
  std::lock_guard lock(state_->mutex);
  return state_->fileChoices;
}

std::vector<RecordedProgress> ScriptedUi::ProgressBoxes() const {
  std::lock_guard lock(state_->mutex);
  return state_->progress;
}

int ScriptedUi::ProcessCalls() const {
  std::lock_guard lock(state_->mutex);
  return state_->processCalls;
}

uint32_t ScriptedUi::ShowBox(const MessageBoxSpec& box) {
  std::lock_guard lock(state_->mutex);
  uint32_t answer = kIdClosed;
  if (!state_->answers.empty()) {
    answer = state_->answers.front();
    state_->answers.pop_front();
  }
  state_->boxes.push_back({box, answer});
  return answer;
}

int ScriptedUi::ChooseFile(bool save, const FileChoiceSpec& choice, std::filesystem::path& path) {
  std::lock_guard lock(state_->mutex);
  RecordedFileChoice rec{save, choice, path, -1};
  if (!state_->files.empty()) {
    std::filesystem::path next = std::move(state_->files.front());
    state_->files.pop_front();
    if (!next.empty()) {
      path = std::move(next);
      rec.result = 0;
    }
  }
  state_->fileChoices.push_back(std::move(rec));
  return state_->fileChoices.back().result;
}

int ScriptedUi::ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return ChooseFile(false, choice, path);
}

int ScriptedUi::ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return ChooseFile(true, choice, path);
}

std::unique_ptr<ProgressBox> ScriptedUi::OpenProgress(const ProgressBoxSpec& boxSpec,
                                                      std::function<void()> onCloseRequest) {
  std::lock_guard lock(state_->mutex);
  RecordedProgress rec;
  rec.boxSpec = boxSpec;
  state_->progress.push_back(std::move(rec));
  state_->live.push_back({std::move(onCloseRequest), std::this_thread::get_id(), false});
  return std::make_unique<Box>(state_, state_->progress.size() - 1);
}

bool ScriptedUi::ProcessMessages(uint32_t idleMs) {
  std::vector<size_t> pressed;
  bool quit = false;
  {
    std::unique_lock lock(state_->mutex);
    ++state_->processCalls;
    quit = state_->quitFrom > 0 && state_->processCalls >= state_->quitFrom;
    auto pending = [&] {
      for (const State::Live& live : state_->live) {
        if (live.pressPending) return true;
      }
      return false;
    };
    // Wait like an idle message loop, but wake at once for a press.
    if (!quit) state_->changed.wait_for(lock, std::chrono::milliseconds(idleMs), pending);
    for (size_t i = 0; i < state_->live.size(); ++i) {
      if (state_->live[i].pressPending) pressed.push_back(i);
    }
  }
  for (size_t index : pressed) Box::Press(state_, index);
  return !quit;
}

}  // namespace orv

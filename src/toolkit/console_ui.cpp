#include "toolkit/console_ui.h"

#include <atomic>
#include <thread>  // std::chrono durations and clocks (<chrono> itself does not compile with a CP932 execution charset)
#include <csignal>
#include <mutex>
#include <string>
#include <thread>

#include "toolkit/console_terminal.h"
#include "toolkit/sjis.h"

namespace orv {

namespace {

// Set by the SIGINT and SIGTERM handler; read by ProcessMessages on the thread that pumps. The signal may be
// handled on any thread (a worker's, while it waits for a drive), so a lock-free atomic rather
// than a sig_atomic_t, which is safe only within the thread it interrupts.
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int) { g_interrupted.store(1); }

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::string ConsoleText(std::string_view sjis) {
  std::string utf8 = SjisToUtf8(sjis);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

struct ConsoleUi::Shared {
  std::mutex mutex;  // guards the fields below and every write to the error stream
  class Box* open = nullptr;
};

class ConsoleUi::Box : public ProgressBox {
 public:
  Box(ConsoleUi& ui, const ProgressBoxSpec& boxSpec, std::function<void()> onCloseRequest)
      : ui_(ui), spec_(boxSpec), onCloseRequest_(std::move(onCloseRequest)),
        draw_(IsTerminal(ui.err_)) {
    g_interrupted = 0;
    // A termination asked for while an operation runs stops it as Ctrl-C does, so that it ends
    // by its own clean-up (its temporary file removed, the drive closed) rather than mid-step.
    previous_ = std::signal(SIGINT, OnInterrupt);
    previousTerm_ = std::signal(SIGTERM, OnInterrupt);
  }
  ~Box() override { Close(); }

  void SetStatus(std::string_view text) override {
    std::lock_guard lock(ui_.shared_->mutex);
    status_ = std::string(text);
    Draw();
  }
  void SetRange(uint32_t maximum) override {
    std::lock_guard lock(ui_.shared_->mutex);
    range_ = maximum;
    Draw();
  }
  void SetPosition(uint32_t position) override {
    std::lock_guard lock(ui_.shared_->mutex);
    position_ = position;
    Draw();
  }

  bool IsOpen() const override {
    std::lock_guard lock(ui_.shared_->mutex);
    return !closed_;
  }

  void Close() override {
    std::lock_guard lock(ui_.shared_->mutex);
    CloseLocked();
  }

  // Ctrl-C: the close request runs on the pumping thread, then the box is gone.
  void Interrupt() {
    if (onCloseRequest_) onCloseRequest_();
    std::lock_guard lock(ui_.shared_->mutex);
    CloseLocked();
  }

 private:
  void CloseLocked() {
    if (closed_) return;
    closed_ = true;
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
    std::signal(SIGTERM, previousTerm_ == SIG_ERR ? SIG_DFL : previousTerm_);
    if (drawn_) std::fputs("\r\x1b[K", ui_.err_);
    std::fflush(ui_.err_);
    if (ui_.shared_->open == this) ui_.shared_->open = nullptr;
  }

  void Draw() {
    if (closed_ || !draw_) return;
    // The box's message says what runs ("デバイスを検索しています。"); the caption is the
    // window title and stands in only when there is no message.
    std::string line = "\r\x1b[K";
    line.append(ConsoleText(spec_.message.empty() ? spec_.caption : spec_.message));
    if (!status_.empty()) line += "  " + ConsoleText(status_);
    if (spec_.progressBar && range_ > 0) {
      const uint32_t shown = position_ > range_ ? range_ : position_;
      const int filled = static_cast<int>(uint64_t{shown} * 20 / range_);
      line += "  [" + std::string(filled, '#') + std::string(20 - filled, '.') + "] " +
              std::to_string(uint64_t{shown} * 100 / range_) + "%";
    }
    std::fputs(line.c_str(), ui_.err_);
    std::fflush(ui_.err_);
    drawn_ = true;
  }

  ConsoleUi& ui_;
  ProgressBoxSpec spec_;
  std::function<void()> onCloseRequest_;
  bool draw_;
  void (*previous_)(int) = SIG_DFL;
  void (*previousTerm_)(int) = SIG_DFL;
  std::string status_;
  uint32_t range_ = 0;
  uint32_t position_ = 0;
  bool closed_ = false;
  bool drawn_ = false;
};

ConsoleUi::ConsoleUi(std::FILE* err, std::FILE* in)
    : err_(err), in_(in), shared_(std::make_shared<Shared>()) {}

ConsoleUi::~ConsoleUi() = default;

bool ConsoleUi::ReadLine(std::string& line) {
  line.clear();
  if (!in_) return false;
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') {
    if (c != '\r') line.push_back(static_cast<char>(c));
  }
  return c != EOF || !line.empty();
}

uint32_t ConsoleUi::ShowBox(const MessageBoxSpec& box) {
  const std::vector<uint32_t> ids = BoxButtonIds(box.style);
  {
    std::lock_guard lock(shared_->mutex);
    std::string text;
    if (!box.caption.empty()) text.append("[").append(ConsoleText(box.caption)).append("] ");
    text += ConsoleText(box.text);
    if (text.empty() || text.back() != '\n') text += '\n';
    if (!box.note.empty()) text += ConsoleText(box.note) + "\n";
    std::fputs(text.c_str(), err_);
    std::fflush(err_);
  }
  if (ids.empty()) return kIdClosed;
  if (ids.size() == 1) return ids.front();
  if (assumeYes_) return kIdYes;

  // A question: y, n or c (or the labels themselves) on one line.
  std::string prompt = "(";
  for (size_t i = 0; i < ids.size(); ++i) {
    const char key = ids[i] == kIdYes ? 'y' : ids[i] == kIdNo ? 'n' : 'c';
    std::string label = ConsoleText(BoxButtonLabel(ids[i]));
    while (!label.empty() && label.front() == ' ') label.erase(label.begin());
    while (!label.empty() && label.back() == ' ') label.pop_back();
    prompt += (i ? " / " : "") + std::string(1, key) + "=" + label;
  }
  prompt += ") > ";
  for (;;) {
    {
      std::lock_guard lock(shared_->mutex);
      std::fputs(prompt.c_str(), err_);
      std::fflush(err_);
    }
    std::string answer;
    if (!ReadLine(answer)) return kIdClosed;
    answer = Lower(answer);
    for (uint32_t id : ids) {
      std::string label = ConsoleText(BoxButtonLabel(id));
      while (!label.empty() && label.front() == ' ') label.erase(label.begin());
      while (!label.empty() && label.back() == ' ') label.pop_back();
      const bool yes = id == kIdYes && (answer == "y" || answer == "yes");
      const bool no = id == kIdNo && (answer == "n" || answer == "no");
      const bool cancel = id == kIdCancel && (answer == "c" || answer == "cancel");
      if (yes || no || cancel || answer == label) return id;
    }
  }
}

int ConsoleUi::ChooseFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  {
    std::lock_guard lock(shared_->mutex);
    std::string prompt = ConsoleText(choice.title);
    if (!path.empty()) {
      const std::u8string proposed = path.u8string();
      prompt += " [" + std::string(proposed.begin(), proposed.end()) + "]";
    }
    prompt += " > ";
    std::fputs(prompt.c_str(), err_);
    std::fflush(err_);
  }
  std::string answer;
  if (!ReadLine(answer)) return -1;
  if (answer.empty()) return path.empty() ? -1 : 0;
  path = std::filesystem::path(std::u8string(answer.begin(), answer.end()));
  if (!choice.defaultExtension.empty() && !path.has_extension()) {
    path += "." + choice.defaultExtension;
  }
  return 0;
}

int ConsoleUi::ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return ChooseFile(choice, path);
}

int ConsoleUi::ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return ChooseFile(choice, path);
}

std::unique_ptr<ProgressBox> ConsoleUi::OpenProgress(const ProgressBoxSpec& boxSpec,
                                                     std::function<void()> onCloseRequest) {
  auto box = std::make_unique<Box>(*this, boxSpec, std::move(onCloseRequest));
  std::lock_guard lock(shared_->mutex);
  shared_->open = box.get();
  return box;
}

bool ConsoleUi::ProcessMessages(uint32_t idleMs) {
  // Sleep in short steps so that Ctrl-C is answered quickly.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(idleMs);
  for (;;) {
    if (g_interrupted.exchange(0) != 0) {
      Box* box;
      {
        std::lock_guard lock(shared_->mutex);
        box = shared_->open;
      }
      if (box) box->Interrupt();
      return true;
    }
    if (std::chrono::steady_clock::now() >= until) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace orv

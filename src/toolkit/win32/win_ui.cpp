#include "toolkit/win32/win_ui.h"

#include "toolkit/win32/application.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/file_dialog.h"

namespace orv {

namespace {

// The progress window: a dialog box whose close (its button, or WM_CLOSE from anywhere) first
// tells the operation, then goes.
class ProgressDialog : public DlgBox, public ProgressBox {
 public:
  explicit ProgressDialog(std::function<void()> onCloseRequest)
      : onCloseRequest_(std::move(onCloseRequest)) {}

  void SetStatus(std::string_view text) override { SetStatusText(std::string(text).c_str(), true); }
  void SetRange(uint32_t maximum) override { PostProgressRange(maximum); }
  void SetPosition(uint32_t position) override { PostProgressPosition(position); }
  bool IsOpen() const override { return hwnd() != nullptr; }
  void Close() override { CloseModeless(); }

 protected:
  const MessageTable& Messages() const override {
    static const MessageTable table = [] {
      MessageTable t(DlgBox::ClassMessages());
      t.Add(WM_CLOSE, Thunk<ProgressDialog, &ProgressDialog::OnCloseRequest>);
      return t;
    }();
    return table;
  }

 private:
  LRESULT OnCloseRequest(UINT message, WPARAM wParam, LPARAM lParam) {
    if (onCloseRequest_) onCloseRequest_();
    return DlgBox::OnClose(message, wParam, lParam);
  }
  std::function<void()> onCloseRequest_;
};

}  // namespace

uint32_t WinUi::ShowBox(const MessageBoxSpec& request) {
  DlgBox box;
  box.width = request.width;
  std::string text = request.text;
  if (!request.note.empty()) text += "\r\n\r\n" + request.note;
  return box.RunModal(owner_, text, request.caption, request.style);
}

int WinUi::ChooseFile(bool save, const FileChoiceSpec& choice, std::filesystem::path& path) {
  FileDialog dialog;
  for (const FileFilter& f : choice.filters) dialog.filters.emplace_back(f.description, f.pattern);
  std::string name;  // the proposed name, as CP932 for the dialog's start
  if (!path.empty()) {
    // The proposal crosses as UTF-16 to CP932; a name the code page lacks comes out with '?',
    // which the user sees and can correct.
    const std::wstring wide = path.wstring();
    int count = WideCharToMultiByte(932, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
    name.resize(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0)
      WideCharToMultiByte(932, 0, wide.c_str(), static_cast<int>(wide.size()), name.data(), count,
                          nullptr, nullptr);
  }
  const int rc = save ? dialog.SaveFile(owner_, choice.title, choice.defaultExtension, name)
                      : dialog.OpenFile(owner_, choice.title, choice.defaultExtension, name);
  if (rc != 0) return -1;
  path = std::filesystem::path(dialog.chosenPath);
  return 0;
}

int WinUi::ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return ChooseFile(false, choice, path);
}

int WinUi::ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return ChooseFile(true, choice, path);
}

std::unique_ptr<ProgressBox> WinUi::OpenProgress(const ProgressBoxSpec& request,
                                                 std::function<void()> onCloseRequest) {
  auto box = std::make_unique<ProgressDialog>(std::move(onCloseRequest));
  box->labels[0] = request.buttonLabel;
  box->progressBar = request.progressBar;
  box->width = request.width;
  if (box->OpenModeless(owner_, request.message, request.caption, kBoxOk) != 0) return nullptr;
  return box;
}

bool WinUi::ProcessMessages(uint32_t idleMs) {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
    MsgWaitForMultipleObjects(0, nullptr, FALSE, idleMs, QS_ALLINPUT);
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Put the quit back, so that the application's loop ends as well once the operation
      // has stopped.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (Application::Current() && Application::Current()->Filtered(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace orv

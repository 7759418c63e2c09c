#include "report/win32/gathering_ui.h"

#include "toolkit/win32/dlgbox.h"

namespace orv {

namespace {

class GatheringBox : public DlgBox, public ProgressBox {
 public:
  explicit GatheringBox(std::function<void()> onCloseRequest) : onCloseRequest_(std::move(onCloseRequest)) {}

  void SetStatus(std::string_view text) override { SetStatusText(std::string(text).c_str(), true); }
  void SetRange(uint32_t maximum) override { PostProgressRange(maximum); }
  void SetPosition(uint32_t position) override { PostProgressPosition(position); }
  bool IsOpen() const override { return hwnd() != nullptr; }
  void Close() override { CloseModeless(); }

 protected:
  const MessageTable& Messages() const override {
    static const MessageTable table = [] {
      MessageTable t(DlgBox::ClassMessages());
      t.Add(WM_CLOSE, Thunk<GatheringBox, &GatheringBox::OnCloseRequest>);
      return t;
    }();
    return table;
  }

 private:
  LRESULT OnCloseRequest(UINT, WPARAM, LPARAM) {
    if (onCloseRequest_) onCloseRequest_();
    return 0;
  }
  std::function<void()> onCloseRequest_;
};

}  // namespace

std::unique_ptr<ProgressBox> GatheringUi::OpenProgress(const ProgressBoxSpec& request,
                                                       std::function<void()> onCloseRequest) {
  auto box = std::make_unique<GatheringBox>(std::move(onCloseRequest));
  box->labels[0] = request.buttonLabel;
  box->progressBar = request.progressBar;
  box->width = request.width;
  if (box->OpenModeless(owner(), request.message, request.caption, kBoxOk) != 0) return nullptr;
  return box;
}

}  // namespace orv

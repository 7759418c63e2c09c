// The toolkit's push button (window class "mokit_nbtn"): a flat, owner-drawn button that tells
// its parent about a click with WM_COMMAND, notification code 1, and can be worked from the
// keyboard (Space or Enter presses it, Tab and the arrow keys move between buttons).
#pragma once

#include <string>

#include "toolkit/win32/window.h"

namespace orv {

class PushButton : public Window {
 public:
  static constexpr WORD kClicked = 1;  // notification code of a click

  // style: window style bits added to WS_CHILD (for example WS_VISIBLE, WS_TABSTOP).
  int Create(HWND parent, int id, const std::string& label, int x, int y, int width, int height,
             DWORD style, HFONT font);
  void SetLabel(const std::string& label);
  const std::string& label() const { return label_; }
  // The default button of a box is drawn with the accent colour.
  void SetDefault(bool isDefault) { default_ = isDefault; }

  // The size of a text in a font (one line, no prefix processing).
  static SIZE MeasureLabel(HFONT font, const std::string& label);

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();
  void OnDetached() override;

 private:
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnMouse(UINT, WPARAM, LPARAM);
  LRESULT OnKey(UINT, WPARAM, LPARAM);
  LRESULT OnFocus(UINT, WPARAM, LPARAM);
  LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM);
  LRESULT OnEnable(UINT, WPARAM, LPARAM);
  void Click();
  void Redraw();

  std::string label_;
  HFONT font_ = nullptr;
  bool default_ = false;
  bool pressed_ = false;
  bool hot_ = false;
};

}  // namespace orv

// The dialog box (window class "dlgbox"): the program's message box, question box and modeless
// progress window. Application dialogs derive from it and add or replace entries of its
// message table.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "toolkit/ui.h"
#include "toolkit/win32/push_button.h"
#include "toolkit/win32/window.h"

namespace orv {

class DlgBox : public Window {
 public:
  // Styles, button ids, slots and their default labels are the seam's (toolkit/ui.h): kBox*,
  // kId*, kBoxButtonSlots. A box closed without a button (Escape, or its window destroyed
  // otherwise) returns kIdClosed, so that no caller mistakes it for a Yes or an OK.
  // The control id of the input field and the progress bar.
  static constexpr int kIdInput = 1000, kIdProgress = 1001;

  DlgBox();
  ~DlgBox() override;

  // Fields the caller sets before opening the box.
  std::string message;
  std::string caption;
  uint32_t style = 0;
  uint32_t textFormat = DT_NOPREFIX;   // DrawText flags of the message
  std::array<std::string, 5> labels;  // per slot; empty: the slot's default label
  HICON icon = nullptr;               // shown instead of the style's system icon
  std::string helpText;               // not empty: the Help button is shown
  bool progressBar = false;
  bool inputField = false;
  int width = 0;                      // the box's width in pixels; 0: as wide as its content

  // Runs the box modally and returns the id of the button that closed it.
  uint32_t RunModal(HWND owner, const std::string& text, const std::string& captionText,
                    uint32_t styleBits);
  int OpenModeless(HWND owner, const std::string& text, const std::string& captionText,
                   uint32_t styleBits);
  void CloseModeless();

  // Safe to call from a worker thread: stores the text (null keeps the old one) and, with
  // redrawNow, draws the status band at once.
  void SetStatusText(const char* text, bool redrawNow);
  std::string StatusText() const;
  // Safe to call from a worker thread: the progress bar's range (0 to maximum) and position,
  // posted so that a worker never waits for the user-interface thread.
  void PostProgressRange(uint32_t maximum);
  void PostProgressPosition(uint32_t position);

  uint32_t result() const { return result_; }
  HWND progressBarWindow() const { return progress_.hwnd(); }
  HWND owner() const { return owner_; }
  // The text of the input field (CP932), also after the box has closed; the text it starts with.
  std::string InputText() const;
  std::string inputInitial;

  // The icon the box shows: the one set, else the system icon of the style's icon kind.
  HICON ShownIcon() const;
  // Where the message is drawn (client coordinates), once the box is open.
  const RECT& MessageRect() const { return messageRect_; }

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();
  void OnDetached() override;

  LRESULT OnCreate(UINT, WPARAM, LPARAM);
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnCommand(UINT, WPARAM, LPARAM);
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM);
  LRESULT OnKeyDown(UINT, WPARAM, LPARAM);
  LRESULT OnClose(UINT, WPARAM, LPARAM);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM);
  LRESULT OnCtlColor(UINT, WPARAM, LPARAM);
  // Help pressed: shows the help text in a box of its own; the box stays open.
  virtual void OnHelp();
  // Closes the box with a result (through WM_CLOSE, so derived tables see the close).
  void EndWith(uint32_t id);

 private:
  void Measure();
  void Place(HWND ownerWindow, int& x, int& y) const;
  void DrawStatus(HDC dc, const std::string& status);
  COLORREF Background() const;
  int ButtonCount() const;
  // The label of a slot: the one set, else the slot's default.
  std::string Label(size_t slot) const;

  uint32_t result_ = kIdClosed;
  bool modal_ = false;  // opening for RunModal
  HWND owner_ = nullptr;
  bool ownerWasEnabled_ = false;

  // Guards what workers reach: the status text and the window handles they draw on or post to,
  // which the user-interface thread clears when the window goes.
  mutable std::mutex statusLock_;
  std::string statusText_;
  HWND liveWindow_ = nullptr;
  HWND liveProgress_ = nullptr;
  std::string inputText_;  // the input field's text, kept when the box closes

  // Layout, measured before the window is created (client coordinates).
  SIZE size_{};
  RECT captionBand_{}, iconRect_{}, messageRect_{}, inputRect_{}, progressRect_{}, statusBand_{};
  std::array<RECT, 5> buttonRects_{};
  std::array<bool, 5> slotShown_{};

  // The one-line input field: an EDIT control whose Enter closes the box with result 1.
  class InputEdit : public Window {
   public:
    explicit InputEdit(DlgBox& box) : box_(box) {}

   protected:
    const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

   private:
    LRESULT OnChar(UINT, WPARAM, LPARAM);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM);
    DlgBox& box_;
  };

  std::array<PushButton, 5> buttons_;
  InputEdit input_{*this};
  Window progress_;
};

}  // namespace orv

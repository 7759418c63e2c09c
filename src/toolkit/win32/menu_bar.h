// The menu bar (window class "mokit_nmnu"): a flat bar of popup titles across the top of a
// window. A popup's items send WM_COMMAND with their id to the owner window. The keyboard
// reaches it through the application's message filter: Alt with a title's underlined letter,
// or F10, opens a popup.
#pragma once

#include <string>
#include <vector>

#include "toolkit/win32/window.h"

namespace orv {

class MenuBar : public Window {
 public:
  MenuBar();
  ~MenuBar() override;

  // Adds a popup under a title ("ファイル(&F)": '&' marks the access letter); returns its index.
  int AddPopup(const std::string& title);
  // Appends an item to a popup; -1 when there is no such popup.
  int AddItem(int popup, int id, const std::string& label);
  int PopupCount() const { return static_cast<int>(popups_.size()); }
  // Enables or greys the item of `id`, in whichever popup holds it.
  void EnableItem(int id, bool enabled);
  // The popup's menu, for reading its items' state; null when there is no such popup.
  HMENU PopupMenu(int popup) const;

  int Create(HWND owner, int x, int y, int width, int height, HFONT font);
  // Installs the keyboard filter at the end of the application's filter list.
  void RegisterWithApplication();
  // Opens a popup under its title and runs it until the user chooses or leaves (the item's
  // command reaches the owner).
  void OpenPopup(int index);

  // The bar's height for a font: the font's height + 8.
  static int HeightFor(HFONT font);

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

 private:
  struct Popup {
    std::string title;
    HMENU menu;
    wchar_t accessKey;  // upper case, 0 for none
    RECT rect;          // the title's place in the bar
  };
  static int Filter(MSG& message, void* context);
  void LayoutTitles();
  int TitleAt(int x, int y) const;
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnMouse(UINT, WPARAM, LPARAM);

  std::vector<Popup> popups_;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  int hot_ = -1;
  int open_ = -1;
  bool registered_ = false;
};

}  // namespace orv

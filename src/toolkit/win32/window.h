// The window base of the toolkit: a window object owns at most one window handle, and the
// messages of that window reach the object through its class's message table.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orv {

class Window;

// {message id, handler} entries. A class builds its table once per process from its base's
// table; adding an entry for a message already present replaces that entry's handler, so a
// derived window adds messages or takes over those of its base.
class MessageTable {
 public:
  using Handler = LRESULT (*)(Window& window, UINT message, WPARAM wParam, LPARAM lParam);

  MessageTable() = default;

  void Add(UINT message, Handler handler);
  Handler Find(UINT message) const;
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    UINT message;
    Handler handler;
  };
  std::vector<Entry> entries_;
};

// Adapts a member function to a table handler: Thunk<DlgBox, &DlgBox::OnClose>.
template <class W, LRESULT (W::*Member)(UINT, WPARAM, LPARAM)>
LRESULT Thunk(Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  return (static_cast<W&>(window).*Member)(message, wParam, lParam);
}

// A window class, described once and registered on first use (RegisterClassExW).
struct WindowClass {
  const wchar_t* name;
  UINT style = 0;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;  // null: the arrow cursor
  HBRUSH brush = nullptr;
  const wchar_t* menuName = nullptr;

  // 0 when the class is registered (now or before), -1 when registration failed.
  int Register() const;
};

class Window {
 public:
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Creates the window of a registered toolkit class; its messages reach this object from
  // WM_NCCREATE on. 0 or -1.
  int Create(DWORD exStyle, const wchar_t* className, const std::string& title, DWORD style, int x,
             int y, int width, int height, HWND parent, HMENU menuOrId);
  // Creates a window of a system class (EDIT, the progress bar) and subclasses it so that its
  // messages reach this object; messages without an entry go to the class's own procedure.
  int CreateSubclassed(DWORD exStyle, const wchar_t* className, const std::string& title,
                       DWORD style, int x, int y, int width, int height, HWND parent, int id);

  int Show(int command);
  int Update();
  int Invalidate(const RECT* rect, bool erase);
  int Enable(bool enable);
  int IsEnabled() const;  // 1, 0, or -1 without a window
  int IsVisible() const;
  int ClientRect(RECT& rect) const;
  int WindowRect(RECT& rect) const;
  int Destroy();
  int SetFont(HFONT font, bool redraw);

  // The loop of a window that runs modally: handles the thread's messages until this window is
  // destroyed. With `filtered`, each message is first offered to the application's filters.
  // False when the program was asked to quit: the quit is put back for the application's own
  // loop (eaten here, it would leave the program running with no window to end it from), and
  // the window may still be there for the caller to destroy.
  bool PumpUntilDestroyed(bool filtered);

  // The procedure of every toolkit window class (WindowClass::Register installs it).
  static WNDPROC ClassProcedure() { return &Window::WindowProc; }

  // The handling a message gets when the table has no entry for it.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // The table of this object's class. Each class keeps one static table (ClassMessages), built
  // from its base's table when the first object asks for it, and returns it here.
  virtual const MessageTable& Messages() const { return ClassMessages(); }
  static const MessageTable& ClassMessages();
  // Called after the window handle is gone (WM_NCDESTROY), when the object may reset its state.
  virtual void OnDetached() {}

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void Attach(HWND hwnd);

  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;  // the system class's procedure of a subclassed window
};

// The module handle all toolkit windows are created with.
HINSTANCE ModuleInstance();

}  // namespace orv

#include "toolkit/win32/window.h"

#include <algorithm>

#include "toolkit/win32/application.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {
// The property that ties a window handle to its object; kept beside GWLP_USERDATA so that
// subclassed system controls, whose user data belongs to their class, work the same way.
constexpr wchar_t kObjectProperty[] = L"orv.window";

Window* ObjectOf(HWND hwnd) { return static_cast<Window*>(GetPropW(hwnd, kObjectProperty)); }
}  // namespace

HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

void MessageTable::Add(UINT message, Handler handler) {
  for (Entry& e : entries_) {
    if (e.message == message) {
      e.handler = handler;
      return;
    }
  }
  entries_.push_back({message, handler});
}

MessageTable::Handler MessageTable::Find(UINT message) const {
  for (const Entry& e : entries_)
    if (e.message == message) return e.handler;
  return nullptr;
}

int WindowClass::Register() const {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(ModuleInstance(), name, &wc)) return 0;
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = Window::ClassProcedure();
  wc.hInstance = ModuleInstance();
  wc.hIcon = icon;
  wc.hIconSm = smallIcon;
  wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = brush;
  wc.lpszMenuName = menuName;
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) ? 0 : -1;
}

Window::Window() = default;

Window::~Window() {
  // The object is going: the window must not outlive it, or its messages would reach freed
  // memory.
  if (hwnd_) {
    HWND h = hwnd_;
    DestroyWindow(h);
    if (hwnd_ == h) {  // destroyed from another thread's window: at least detach
      RemovePropW(h, kObjectProperty);
      hwnd_ = nullptr;
    }
  }
}

const MessageTable& Window::ClassMessages() {
  static const MessageTable empty;
  return empty;
}

void Window::Attach(HWND hwnd) {
  hwnd_ = hwnd;
  SetPropW(hwnd, kObjectProperty, this);
}

int Window::Create(DWORD exStyle, const wchar_t* className, const std::string& title, DWORD style,
                   int x, int y, int width, int height, HWND parent, HMENU menuOrId) {
  if (hwnd_) return -1;
  // The object rides in the creation parameters; WindowProc attaches it on WM_NCCREATE, so
  // every later message, WM_CREATE included, reaches the object.
  HWND h = CreateWindowExW(exStyle, className, Widen(title).c_str(), style, x, y, width, height,
                           parent, menuOrId, ModuleInstance(), this);
  if (!h) {
    hwnd_ = nullptr;
    return -1;
  }
  return 0;
}

int Window::CreateSubclassed(DWORD exStyle, const wchar_t* className, const std::string& title,
                             DWORD style, int x, int y, int width, int height, HWND parent,
                             int id) {
  if (hwnd_) return -1;
  HWND h = CreateWindowExW(exStyle, className, Widen(title).c_str(), style, x, y, width, height,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ModuleInstance(), nullptr);
  if (!h) return -1;
  Attach(h);
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::SubclassProc)));
  return 0;
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  if (original_) return CallWindowProcW(original_, hwnd_, message, wParam, lParam);
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  MessageTable::Handler handler = Messages().Find(message);
  LRESULT result = handler ? handler(*this, message, wParam, lParam) : Default(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    RemovePropW(hwnd_, kObjectProperty);
    if (original_) SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    hwnd_ = nullptr;
    original_ = nullptr;
    OnDetached();
  }
  return result;
}

// No exception may unwind through the system's code that called the procedure: a handler that
// throws gets the default handling's place, and the window goes on.
LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self = ObjectOf(hwnd);
  if (!self && message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (self) self->Attach(hwnd);
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->Dispatch(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return WindowProc(hwnd, message, wParam, lParam);
}

int Window::Show(int command) {
  if (!hwnd_) return -1;
  ShowWindow(hwnd_, command);
  return 0;
}
int Window::Update() { return hwnd_ && UpdateWindow(hwnd_) ? 0 : -1; }
int Window::Invalidate(const RECT* rect, bool erase) {
  return hwnd_ && InvalidateRect(hwnd_, rect, erase ? TRUE : FALSE) ? 0 : -1;
}
int Window::Enable(bool enable) {
  if (!hwnd_) return -1;
  EnableWindow(hwnd_, enable ? TRUE : FALSE);
  return 0;
}
int Window::IsEnabled() const { return hwnd_ ? (IsWindowEnabled(hwnd_) ? 1 : 0) : -1; }
int Window::IsVisible() const { return hwnd_ ? (IsWindowVisible(hwnd_) ? 1 : 0) : -1; }
int Window::ClientRect(RECT& rect) const { return hwnd_ && GetClientRect(hwnd_, &rect) ? 0 : -1; }
int Window::WindowRect(RECT& rect) const { return hwnd_ && GetWindowRect(hwnd_, &rect) ? 0 : -1; }
int Window::Destroy() { return hwnd_ && DestroyWindow(hwnd_) ? 0 : -1; }
int Window::SetFont(HFONT font, bool redraw) {
  if (!hwnd_) return -1;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
  return 0;
}

bool Window::PumpUntilDestroyed(bool filtered) {
  while (hwnd_) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      WaitMessage();
      continue;
    }
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (filtered && Application::Current() && Application::Current()->Filtered(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace orv

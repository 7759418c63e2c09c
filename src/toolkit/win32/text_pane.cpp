#include "toolkit/win32/text_pane.h"

#include "toolkit/win32/wide.h"

namespace orv {

int TextPane::Create(HWND parent, int id, int x, int y, int width, int height, DWORD style) {
  if (CreateSubclassed(0, L"EDIT", "", style, x, y, width, height, parent, id) != 0) return -1;
  SendMessageW(hwnd(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(6, 6));
  // The pane holds reports far longer than the control's default limit of 32 KiB.
  SendMessageW(hwnd(), EM_SETLIMITTEXT, 0, 0);
  return 0;
}

int TextPane::SetText(const char* text) {
  if (!hwnd()) return -1;
  SendMessageW(hwnd(), EM_SETREADONLY, FALSE, 0);
  SetWindowTextW(hwnd(), Widen(text ? text : "").c_str());
  SendMessageW(hwnd(), EM_SETREADONLY, TRUE, 0);
  return 0;
}

int TextPane::AppendText(const char* text) {
  if (!hwnd()) return -1;
  SendMessageW(hwnd(), EM_SETREADONLY, FALSE, 0);
  const int end = GetWindowTextLengthW(hwnd());
  SendMessageW(hwnd(), EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(hwnd(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Widen(text ? text : "").c_str()));
  SendMessageW(hwnd(), EM_SETREADONLY, TRUE, 0);
  return 0;
}

std::string TextPane::Text() const {
  if (!hwnd()) return {};
  const int length = GetWindowTextLengthW(hwnd());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(hwnd(), text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

}  // namespace orv

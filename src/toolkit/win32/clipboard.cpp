#include "toolkit/win32/clipboard.h"

#include <cstring>
#include <string>

#include "toolkit/win32/wide.h"

namespace orv {

namespace {
// A movable, zero-filled global block holding `size` bytes copied from `data`; null on failure.
HGLOBAL BlockOf(const void* data, size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!block) return nullptr;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  if (size) std::memcpy(p, data, size);
  GlobalUnlock(block);
  return block;
}
// The clipboard is one per desktop, and other programs (clipboard viewers and managers, Wine's
// own X selection bridge) open it for a moment when its content changes. A copy that finds it
// busy tries again for about half a second before it gives up.
bool OpenSystemClipboard(HWND owner) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

Clipboard::~Clipboard() {
  if (openCount_ > 0) Close(true);
}

int Clipboard::Open() {
  if (!owner_) return -1;
  if (openCount_ == 0 && !OpenSystemClipboard(owner_)) return -1;
  ++openCount_;
  return 0;
}

int Clipboard::Close(bool force) {
  if (openCount_ <= 0) return -1;
  openCount_ = force ? 0 : openCount_ - 1;
  if (openCount_ == 0) CloseClipboard();
  return 0;
}

int Clipboard::Empty() {
  if (Open() != 0) return -1;
  const int result = EmptyClipboard() ? 0 : -1;
  Close();
  return result;
}

int Clipboard::PutText(size_t length, const char* bytes) {
  if (!bytes && length) return -1;
  std::string text(bytes ? bytes : "", length);
  HGLOBAL narrow = BlockOf(text.c_str(), length + 1);
  if (!narrow) return -1;
  if (Open() != 0) {
    GlobalFree(narrow);
    return -1;
  }
  int result = 0;
  // Only the opener that empties the clipboard owns it; the new text replaces what was there.
  EmptyClipboard();
  if (!SetClipboardData(format_, narrow)) {
    GlobalFree(narrow);
    result = -1;
  } else if (format_ == CF_TEXT) {
    // CF_TEXT is read in the reader's ANSI code page; the UTF-16 copy and the Japanese locale
    // let a system with another code page read the same characters.
    const std::wstring wide = Widen(text);
    if (HGLOBAL unicode = BlockOf(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t))) {
      if (!SetClipboardData(CF_UNICODETEXT, unicode)) GlobalFree(unicode);
    }
    const LCID japanese = 0x0411;
    if (HGLOBAL locale = BlockOf(&japanese, sizeof japanese)) {
      if (!SetClipboardData(CF_LOCALE, locale)) GlobalFree(locale);
    }
  }
  Close();
  return result;
}

}  // namespace orv

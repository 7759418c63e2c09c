// The clipboard: an owner window, an open count and a format (CF_TEXT by default).
#pragma once

#include <windows.h>

#include <cstddef>

namespace orv {

class Clipboard {
 public:
  explicit Clipboard(HWND owner = nullptr) : owner_(owner) {}
  ~Clipboard();
  Clipboard(const Clipboard&) = delete;
  Clipboard& operator=(const Clipboard&) = delete;

  void SetOwner(HWND owner) { owner_ = owner; }
  void SetFormat(UINT format) { format_ = format; }

  int Open();                  // -1 without an owner window
  int Close(bool force = false);
  int Empty();
  // Puts `length` bytes of CP932 text (a terminating 0 is added) in the object's format and,
  // for CF_TEXT, the same text as CF_UNICODETEXT beside it, so that any system reads it right.
  int PutText(size_t length, const char* bytes);

 private:
  HWND owner_;
  int openCount_ = 0;
  UINT format_ = CF_TEXT;
};

}  // namespace orv

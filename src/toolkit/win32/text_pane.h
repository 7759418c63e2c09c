// The read-only text pane: a multi-line EDIT control that the user can read, select and copy
// from, but that only the program writes to.
#pragma once

#include <string>

#include "toolkit/win32/window.h"

namespace orv {

class TextPane : public Window {
 public:
  // style: the full window style (for example WS_CHILD | WS_BORDER | WS_VSCROLL | ES_MULTILINE
  // | ES_READONLY).
  int Create(HWND parent, int id, int x, int y, int width, int height, DWORD style);
  // Replaces the whole text (null gives "").
  int SetText(const char* text);
  // Adds text at the end.
  int AppendText(const char* text);
  // The text as CP932.
  std::string Text() const;
};

}  // namespace orv

// The edge between the program's CP932 text and the UTF-16 of the Windows W-functions. Text is
// converted here and nowhere else, so the Japanese interface reads correctly whatever the
// system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

namespace orv {

// CP932 bytes to UTF-16. Bytes that are not valid CP932 become the system's default character;
// the rest of the text is still converted.
std::wstring Widen(std::string_view cp932);
// UTF-16 to CP932 (text read back from an edit field or a file dialog). Characters CP932 lacks
// become '?'.
std::string Narrow(std::wstring_view utf16);

}  // namespace orv

// Shift-JIS (code page 932) helpers. The program's text is CP932 bytes; it is converted only at
// the edges: to UTF-8 for a terminal, to UTF-16 for the Windows W-functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// Lead byte of a CP932 double-byte character: 81h-9Fh and E0h-FCh.
constexpr bool IsSjisLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// Trail byte of a CP932 double-byte character: 40h-7Eh and 80h-FCh.
constexpr bool IsSjisTrailByte(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Conversions of CP932 text. Bytes that are not valid CP932 become U+FFFD; the rest of the
// text is still converted. A lead byte without its trail byte (also at the very end) is one
// U+FFFD, and the byte after it starts a new character; an unassigned pair is one U+FFFD.
std::string SjisToUtf8(std::string_view sjis);
std::u16string SjisToUtf16(std::string_view sjis);
// UTF-8 to CP932, for text a user typed on a UTF-8 terminal. Characters CP932 lacks, and each
// byte of malformed UTF-8, become '?'.
std::string Utf8ToSjis(std::string_view utf8);
// Appends code point `c` (at most U+10FFFF) to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace orv

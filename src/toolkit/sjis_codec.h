// The operating system's half of the CP932 conversions (sjis_iconv.cpp on Linux, sjis_win32.cpp
// on Windows). sjis.cpp splits text into characters and handles everything that is the same on
// every system; only the double-byte mapping is asked of the system, so invalid input is treated
// identically everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv::sjis_detail {

// The character of one CP932 double-byte pair (a lead byte and a trail byte), or U+FFFD when
// the code page assigns none to it.
char16_t DecodeCp932Pair(uint8_t lead, uint8_t trail);

// CP932 bytes of UTF-16 text holding no surrogates. Characters CP932 lacks become '?'.
std::string EncodeCp932(std::u16string_view text);

}  // namespace orv::sjis_detail

// CP932 double-byte mapping through the Windows code page functions.
#include <windows.h>

#include "toolkit/sjis_codec.h"

namespace orv::sjis_detail {

namespace {
constexpr UINT kCodePage932 = 932;
}  // namespace

char16_t DecodeCp932Pair(uint8_t lead, uint8_t trail) {
  const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t out[2] = {};
  // MB_ERR_INVALID_CHARS: an unassigned pair is an error, not the code page's default character.
  const int n = MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, in, 2, out, 2);
  return n == 1 ? static_cast<char16_t>(out[0]) : char16_t{0xFFFD};
}

std::string EncodeCp932(std::u16string_view text) {
  if (text.empty()) return {};
  const std::wstring wide(text.begin(), text.end());
  const int length = static_cast<int>(wide.size());
  // WC_NO_BEST_FIT_CHARS: a character CP932 lacks becomes '?' instead of a look-alike
  // ("e" for "é"), so the text never silently changes meaning.
  const int size = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                       nullptr, 0, "?", nullptr);
  if (size <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(), size,
                      "?", nullptr);
  return out;
}

}  // namespace orv::sjis_detail

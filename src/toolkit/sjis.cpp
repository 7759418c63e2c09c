// The CP932 conversions: character boundaries, single-byte characters, invalid bytes and UTF-8
// are handled here; the double-byte mapping comes from the system (sjis_codec.h).
#include "toolkit/sjis.h"

#include "toolkit/sjis_codec.h"

namespace orv {

namespace {

constexpr char16_t kReplacement = 0xFFFD;


// One code point of UTF-8 text at `pos`, advancing `pos`. A malformed sequence (bad lead,
// missing continuation, overlong form, surrogate, beyond U+10FFFF) reads as U+FFFD and skips one
// byte.
char32_t NextUtf8(std::string_view text, size_t& pos) {
  const auto lead = static_cast<uint8_t>(text[pos++]);
  if (lead < 0x80) return lead;
  size_t extra;
  char32_t c;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  if (text.size() - pos < extra) return kReplacement;
  for (size_t i = 0; i < extra; ++i) {
    const auto b = static_cast<uint8_t>(text[pos + i]);
    if ((b & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  pos += extra;
  return c;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::u16string SjisToUtf16(std::string_view sjis) {
  std::u16string out;
  out.reserve(sjis.size());
  for (size_t i = 0; i < sjis.size(); ++i) {
    const auto b = static_cast<uint8_t>(sjis[i]);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      out += static_cast<char16_t>(0xFF61 + (b - 0xA1));  // half-width katakana
    } else if (IsSjisLeadByte(b) && i + 1 < sjis.size() &&
               IsSjisTrailByte(static_cast<uint8_t>(sjis[i + 1]))) {
      out += sjis_detail::DecodeCp932Pair(b, static_cast<uint8_t>(sjis[i + 1]));
      ++i;
    } else {
      // 80h, A0h, FDh-FFh, and a lead byte without its trail byte (also at the very end): one
      // replacement each, and the next byte starts afresh.
      out += kReplacement;
    }
  }
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  // CP932 maps only into the Basic Multilingual Plane, so every unit is a whole character.
  for (const char16_t c : SjisToUtf16(sjis)) AppendUtf8(out, c);
  return out;
}

std::string Utf8ToSjis(std::string_view utf8) {
  std::u16string wide;
  wide.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    const char32_t c = NextUtf8(utf8, pos);
    // Nothing outside the BMP exists in CP932; U+FFFD has no CP932 form either, so both print '?'.
    wide += c < 0x10000 ? static_cast<char16_t>(c) : kReplacement;
  }
  return sjis_detail::EncodeCp932(wide);
}

}  // namespace orv

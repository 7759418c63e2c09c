#include "toolkit/sjis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

// UTF-8 text of a u8 literal (narrow literals of this program are CP932).
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

struct Case {
  std::string in, out;
};

TEST(SjisToUtf8, ValidTextAndInvalidBytes) {
  const std::string r = kReplacementUtf8;
  const std::vector<Case> cases = {
      {"ドライブ検索", Utf8(u8"ドライブ検索")},
      {"表ソ", Utf8(u8"表ソ")},  // trail byte 5Ch
      {"\\~", "\\~"},            // CP932 keeps ASCII, no yen sign or overline
      {"\xB1\xDF", Utf8(u8"ｱﾟ")},
      {"\x87\x40\x81\x60", Utf8(u8"①～")},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"", ""},
      // Invalid bytes become U+FFFD and the rest survives.
      {"a\xA0z", "a" + r + "z"},
      {"\xFD\xFE\xFF", r + r + r},
      {"\x81 x", r + " x"},             // lead byte before a byte that cannot trail
      {"ab\x81", "ab" + r},              // lone lead byte at the end
      {"\x81\x7F\x81\x40", r + "\x7F" + Utf8(u8"\u3000")},  // 7Fh cannot trail
      {"\x85\x40z", r + "z"},            // a pair the code page leaves unassigned
  };
  for (const Case& c : cases) EXPECT_EQ(SjisToUtf8(c.in), c.out) << "input " << c.in;
}

// The compiler must turn the UTF-8 source into code page 932, or every Japanese box shows mojibake.
TEST(ExecCharset, JapaneseLiteralIsCp932) {
  EXPECT_EQ(std::string("ドライブ検索"), "\x83\x68\x83\x89\x83\x43\x83\x75\x8C\x9F\x8D\xF5");
}

TEST(SjisToUtf16, ValidAndInvalid) {
  EXPECT_EQ(SjisToUtf16("A表"), u"A\u8868");
  EXPECT_EQ(SjisToUtf16("\x83"), u"\uFFFD");
  EXPECT_EQ(SjisToUtf16("\xDF\xE0"), u"\uFF9F\uFFFD");
}

TEST(Utf8ToSjis, ConvertsAndMarksWhatCp932Lacks) {
  const std::vector<Case> cases = {
      {Utf8(u8"ディスク消去"), "ディスク消去"},
      {Utf8(u8"表示 OK"), "表示 OK"},
      {Utf8(u8"ｱ"), "\xB1"},
      {Utf8(u8"a😀b"), "a?b"},      // outside the BMP
      {Utf8(u8"a\u0E01b"), "a?b"},  // a Thai letter CP932 lacks
      {"a\xFF" "b", "a?b"},         // not UTF-8
      {"a\xE3\x83", "a??"},         // cut sequence
      {"\xC0\xAF", "??"},           // overlong '/'
      {"\xED\xA0\x80", "???"},      // encoded surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToSjis(c.in), c.out) << "input " << c.in;
}

// Each assigned pair of the JIS level 1 and 2 kanji rows survives the way there and back.
TEST(Sjis, KanjiRowsRoundTrip) {
  int assigned = 0;
  for (int lead = 0x88; lead <= 0x9F; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = SjisToUtf8(pair);
      if (utf8 == kReplacementUtf8) continue;
      ++assigned;
      EXPECT_EQ(Utf8ToSjis(utf8), pair) << std::hex << lead << " " << trail;
    }
  }
  // Rows 88h-9Fh hold 4,418 assigned kanji (the start of row 88h is empty).
  EXPECT_GT(assigned, 4000);
}

}  // namespace
}  // namespace orv

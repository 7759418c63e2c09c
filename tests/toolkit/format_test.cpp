#include "toolkit/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orv {
namespace {

struct FormatCase {
  const char* format;
  std::vector<FormatArg> args;
  std::string expected;
};

void ExpectCases(const std::vector<FormatCase>& cases) {
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatToString(c.format, FormatArgs(c.args.data(), c.args.size())), c.expected) << c.format;
  }
}

constexpr char kCanary = '\x7F';

TEST(FormatV, DigitGroupingCountsTowardWidth) {
  ExpectCases({
      {"%,u", {999}, "999"}, {"%,u", {1000}, "1,000"}, {"%8,u", {1234}, "   1,234"}, {"%*,d", {8, -1234}, "  -1,234"},
      {"%,I64u", {uint64_t{1000000000000}}, "1,000,000,000,000"}, {"%-10,u|", {1234}, "1,234     |"},
      {"%#,x", {0x12345}, "0x12,345"}, {"%_u", {1234567}, "1_234_567"}, {"%|4u", {12345678}, "1234|5678"},
      {"%,*u", {2, 12345}, "1,23,45"}, {"%,*u", {0, 12345}, "12345"}, {"%,*u", {-1, 12345}, "12345"},
      {"%,0u", {1234}, "1,234"}, {"%,1u", {123}, "1,2,3"},
      // Zero fill is not grouped.
      {"%010,u", {1234}, "000001,234"},
  });
}

TEST(FormatV, FlagsWidthAndPrecision) {
  ExpectCases({
      {"%+u", {5}, "5"}, {"%+d", {5}, "+5"}, {"% d", {5}, " 5"}, {"%+ d", {5}, "+5"}, {"%#x", {0}, "0"},
      {"%#x", {255}, "0xff"}, {"%#06X", {255}, "0X00FF"}, {"%02X", {10}, "0A"}, {"%5.2u", {7}, "    7"},
      {"%05d", {-42}, "-0042"}, {"%-05d|", {3}, "3    |"}, {"%0d", {7}, "7"}, {"%*d|", {-5, 3}, "3|"},
      {"%.3s", {"abcdef"}, "abc"}, {"%5.0s|", {"abc"}, "     |"}, {"%-6s|", {"ab"}, "ab    |"},
      {"%06s", {"ab"}, "    ab"}, {"%.*s", {2, "abc"}, "ab"}, {"%.*s", {-1, "abc"}, "abc"},
      {"%c%c", {'A', 0x142}, "AB"}, {"%5c|", {'A'}, "A|"},
  });
}

TEST(FormatV, LengthPrefixSelectsArgumentWidth) {
  ExpectCases({
      {"%hu", {70000}, "4464"}, {"%hd", {65535}, "-1"}, {"%hx", {0x12345678}, "5678"}, {"%u", {-1}, "4294967295"},
      {"%d", {4294967295u}, "-1"}, {"%u", {(uint64_t{1} << 32) + 5}, "5"},
      {"%I64u", {std::numeric_limits<uint64_t>::max()}, "18446744073709551615"},
      {"%I64d", {std::numeric_limits<int64_t>::min()}, "-9223372036854775808"},
      {"%i64d", {int64_t{-5000000000}}, "-5000000000"}, {"%llX", {uint64_t{0x0123456789ABCDEF}}, "123456789ABCDEF"},
      {"%I64x", {-1}, "ffffffffffffffff"},
      // 'I' without "64" is not a length: it is written as text, the rest follows as text.
      {"%I32u", {7}, "I32u"}, {"%I6", {7}, "I6"},
  });
}

TEST(FormatV, EscapesAndPlainText) {
  ExpectCases({
      {"a\\nb\\r\\tc", {}, "a\nb\r\tc"}, {"\\\\", {}, "\\"}, {"\\q\\%", {}, "q%"}, {"ab\\", {}, "ab"},
      {"%%", {}, "%"}, {"100%%!", {}, "100%!"}, {"ab%", {}, "ab"}, {"ab%-5", {1}, "ab"},
      // Escapes act on the format only, not on inserted text.
      {"%s", {"a\\nb"}, "a\\nb"},
      // A conversion character outside the language is written as text and reads no argument.
      {"%i", {}, "i"}, {"%w%d", {7}, "w7"}, {"%5%", {}, "%"}, {"%y\\n", {}, "y\n"},
  });
}

TEST(FormatV, ShiftJisCharactersAreCopiedWhole) {
  // "表" and "ソ" end in 5Ch: as a pair they are one character, not a backslash escape.
  ExpectCases({
      {"表示", {}, "表示"}, {"表n", {}, "表n"}, {"ソ\\n", {}, "ソ\n"}, {"\\表", {}, "表"}, {"%表", {}, "表"},
      {"%d表%d", {1, 2}, "1表2"},
      {"\x81 x", {}, "\x81 x"},  // a lead byte without a trail byte is a single byte
      {"ab\x81", {}, "ab\x81"},
  });
}

TEST(FormatV, LimitCutsAnywhere) {
  const struct {
    uint32_t limit;
    const char* format;
    std::vector<FormatArg> args;
    std::string expected;
    bool terminated;
  } cases[] = {
      {5, "%,u", {1234567}, "1,234", false}, {6, "%,u", {1234567}, "1,234,", false}, {4, "%8u", {1}, "    ", false},
      {3, "%-6s", {"ab"}, "ab ", false}, {3, "%#x", {255}, "0xf", false}, {2, "%d", {-123}, "-1", false},
      {3, "abc", {}, "abc", false}, {4, "abc", {}, "abc", true}, {10, "%*s", {1000000000, "x"}, "          ", false},
      {2, "\\n\\n\\n", {}, "\n\n", false},
      // One byte of room left: the double-byte character is not started.
      {3, "a表", {}, "a表", false}, {2, "a表", {}, "a", true}, {3, "ab表", {}, "ab", true}, {1, "表", {}, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "limit " << c.limit << " format \"" << c.format << "\"");
    // Into a buffer guarded by canary bytes: the text, a terminator if there is room, nothing touched after.
    std::vector<char> buffer(c.limit + 16, kCanary);
    const uint32_t count = FormatV(c.limit, buffer.data(), c.format, FormatArgs(c.args.data(), c.args.size()));
    ASSERT_EQ(count, c.expected.size());
    EXPECT_EQ(std::string(buffer.data(), count), c.expected);
    std::string after = c.terminated ? std::string(1, '\0') : "";
    after.resize(buffer.size() - count, kCanary);
    EXPECT_EQ(std::string(buffer.data() + count, buffer.size() - count), after);
  }
}

TEST(FormatV, ZeroLimitWritesNothingAndFormatStringStopsAt4096) {
  std::vector<char> buffer(4200, kCanary);
  EXPECT_EQ(FormatV(0, buffer.data(), "abc", {}), 0u);
  EXPECT_EQ(buffer[0], kCanary);
  EXPECT_EQ(FormatV(4, nullptr, "abc", {}), 0u);
  const std::string big(5000, 'x');
  EXPECT_EQ(FormatString(buffer.data(), "%s", big), 4096u);
  EXPECT_EQ(buffer[4096], kCanary);
  EXPECT_EQ(Format("%s", big).size(), 4096u);
  EXPECT_EQ(Format("%s-%d", "a", 5), "a-5");
}

TEST(FormatV, MismatchedArgumentsPrintDefinedText) {
  ExpectCases({
      {"%d|%u|%x", {}, "0|0|0"}, {"%s", {}, "(null)"}, {"%s", {nullptr}, "(null)"}, {"%s", {5}, "(null)"},
      {"%d", {"abc"}, "0"}, {"%d", {2.5}, "0"}, {"%f", {}, "0.000000"}, {"%f", {3}, "3.000000"},
      {"%d %s %d", {1}, "1 (null) 0"}, {"%*d", {}, "0"},
  });
}

TEST(FormatV, FloatingPoint) {
  ExpectCases({
      {"%f", {1.5}, "1.500000"}, {"%.2f", {3.14159}, "3.14"}, {"%8.1f", {-2.26}, "    -2.3"},
      {"%010.3f", {-1.5}, "-00001.500"}, {"%.1,f", {1234567.25}, "1,234,567.2"}, {"%E", {0.00012}, "1.200000E-004"},
      {"%.2e", {1e-300}, "1.00e-300"}, {"%f", {-HUGE_VAL}, "-inf"},
  });
  // The widest double fits the scratch area.
  const FormatArg widest[] = {std::numeric_limits<double>::max()};
  EXPECT_EQ(FormatToString("%.60f", FormatArgs(widest, 1)).size(), 309u + 1 + 60);
}

}  // namespace
}  // namespace orv

// JSON out and in (the console's --json texts are whole in its tests); malformed input refused where it stopped.
#include "toolkit/json.h"

#include <gtest/gtest.h>

#include "toolkit/hex_text.h"

namespace orv {
namespace {

TEST(Json, StringsAreEscapedAndAlwaysValidUtf8) {
  const struct {
    std::string text;
    const char* json;
  } cases[] = {
      {"quote \" backslash \\ slash /", "\"quote \\\" backslash \\\\ slash /\""},
      {"tab\tline\nreturn\r", "\"tab\\tline\\nreturn\\r\""},
      {std::string("nul\0bell\x07 del\x7F", 14), "\"nul\\u0000bell\\u0007 del\\u007F\""},
      {"\xF0\x9F\x92\xBF", "\"\xF0\x9F\x92\xBF\""},                           // UTF-8 stays as it is
      {"cp932 \x97\x65", "\"cp932 \xEF\xBF\xBD\x65\""},                        // not UTF-8: U+FFFD
      {"cut \xE5\xAE", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},                   // a sequence cut short
      {"overlong \xC0\xAF", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"surrogate \xED\xA0\x80", "\"surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteJson(JsonValue(c.text)), c.json) << c.json;
}

TEST(Json, ParsesWhatItWritesAndWhatOthersWrite) {
  const struct {
    std::string text;
    std::string rewritten;  // the value written back, compact
  } cases[] = {
      {" { \"a\" : [ 1 , -2 , 0 ] , \"b\" : { } } ", "{\"a\":[1,-2,0],\"b\":{}}"},
      // A member set again is replaced where it stands; the 64-bit ends are written exactly.
      {"{\"a\":0.5,\"b\":[],\"a\":-9223372036854775808}", "{\"a\":-9223372036854775808,\"b\":[]}"},
      {"\"\\u00e9\\u5BB9\\ud83d\\udcbf\\/\"", "\"\xC3\xA9\xE5\xAE\xB9\xF0\x9F\x92\xBF/\""},
      {"\"\\ud800x\"", "\"\xEF\xBF\xBDx\""},                   // a lone surrogate
      {"\"\\ud800\\u0041\"", "\"\xEF\xBF\xBD\x41\""},          // a high surrogate without its low one
      {"18446744073709551615", "18446744073709551615"},
      {"18446744073709551616", "1.8446744073709552e+19"},  // beyond 64 bits: a real
      {"-0", "0"},
      {"1.5e3", "1500"},
      {"[true,false,null]", "[true,false,null]"},
      {std::string(64, '[') + std::string(64, ']'), std::string(64, '[') + std::string(64, ']')},  // the deepest
  };
  for (const auto& c : cases) {
    JsonValue value;
    std::string error;
    ASSERT_EQ(ParseJson(c.text, value, error), 0) << c.text << ": " << error;
    EXPECT_EQ(WriteJson(value), c.rewritten) << c.text;
  }
  JsonValue value;
  std::string error;
  ASSERT_EQ(ParseJson("{\"n\":4294967296,\"m\":-1}", value, error), 0);
  uint64_t n = 0;
  EXPECT_TRUE(value.Find("n")->Unsigned(n));
  EXPECT_EQ(n, 4294967296u);
  EXPECT_FALSE(value.Find("m")->Unsigned(n));
  EXPECT_EQ(value.Find("missing"), nullptr);
}

TEST(Json, MalformedTextIsRefusedWithWhereItStopped) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "expected a value at byte 0"},
      {"{\"a\":1,}", "expected a member name at byte 7"},
      {"{\"a\" 1}", "expected ':' at byte 5"},
      {"[1 2]", "expected ',' or ']' at byte 3"},
      {"{\"a\":1", "expected ',' or '}' at byte 6"},
      {"\"open", "string without its closing quote at byte 5"},
      {"\"a\nb\"", "control character in a string at byte 2"},
      {"\"\\x\"", "unknown escape in a string at byte 3"},
      {"\"\\u12G4\"", "\\u needs four hex digits at byte 6"},
      {"01", "text after the value at byte 1"},
      {"1.", "expected a digit after '.' at byte 2"},
      {"1e", "expected a digit in the exponent at byte 2"},
      {"-", "expected a value at byte 1"},
      {"tru", "unknown word at byte 0"},
      {"{} {}", "text after the value at byte 3"},
      {std::string(65, '[') + std::string(65, ']'), "nesting deeper than 64 levels at byte 64"},
  };
  for (const auto& c : cases) {
    JsonValue value = JsonValue("kept");
    std::string error;
    EXPECT_EQ(ParseJson(c.text, value, error), -1) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(value.String(), "kept") << "a failed parse leaves the value";
  }
}

// Round trips of whole traces and an odd digit count: TraceFormat.*; here, the case and what a refusal leaves.
TEST(HexText, BothWays) {
  EXPECT_EQ(HexText(std::vector<uint8_t>{0x12, 0x00, 0xAB, 0xff}), "1200ABFF");
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"1200abFF", {0x12, 0x00, 0xAB, 0xFF}}, {"12 34", {9}}, {"0x12", {9}}, {"zz", {9}}};  // {9}: refused, kept
  for (const auto& [text, expected] : cases) {
    std::vector<uint8_t> bytes = {9};
    EXPECT_EQ(ParseHexText(text, bytes), expected != std::vector<uint8_t>{9}) << text;
    EXPECT_EQ(bytes, expected) << text;
  }
}

}  // namespace
}  // namespace orv

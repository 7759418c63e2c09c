#include <gtest/gtest.h>

#include <string>

// The program's text is Shift-JIS bytes in every build: the compiler must translate the UTF-8
// source into code page 932, or every Japanese message box would show mojibake.
TEST(ExecCharset, JapaneseLiteralIsCp932) {
  EXPECT_EQ(std::string("ドライブ検索"), "\x83\x68\x83\x89\x83\x43\x83\x75\x8C\x9F\x8D\xF5");
}

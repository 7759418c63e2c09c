// Text put on the clipboard reads the same in UTF-16 as in the program's own code page.
#include <gtest/gtest.h>

#include <string>

#include "gui_driver.h"
#include "toolkit/win32/clipboard.h"

namespace orv {
namespace {

std::wstring ReadWide() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

HWND MessageWindow() {
  return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

TEST(Clipboard, OpenNeedsAnOwnerWindow) {
  Clipboard clipboard;
  EXPECT_EQ(clipboard.Open(), -1);
  EXPECT_EQ(clipboard.PutText(2, "ab"), -1);
}

TEST(Clipboard, PutTextGivesTheSameTextInBothFormats) {
  HWND owner = MessageWindow();
  ASSERT_NE(owner, nullptr);
  Clipboard clipboard(owner);
  const std::string rows = "ベンチマーク\tE:\r\nシーク時間  12.3ms\r\n";
  ASSERT_EQ(clipboard.PutText(rows.size(), rows.c_str()), 0);
  EXPECT_EQ(ReadWide(), L"ベンチマーク\tE:\r\nシーク時間  12.3ms\r\n");
  EXPECT_EQ(test::ClipboardText(), rows);
  // A shorter text replaces all of the earlier one, in both formats.
  ASSERT_EQ(clipboard.PutText(3, "abcdef"), 0);
  EXPECT_EQ(ReadWide(), L"abc");
  EXPECT_EQ(test::ClipboardText(), "abc");
  DestroyWindow(owner);
}

TEST(Clipboard, NestedOpensCloseOnceAndForceClosesAtOnce) {
  HWND owner = MessageWindow();
  Clipboard clipboard(owner);
  ASSERT_EQ(clipboard.Open(), 0);
  ASSERT_EQ(clipboard.Open(), 0);
  EXPECT_EQ(GetOpenClipboardWindow(), owner);
  clipboard.Close();
  EXPECT_EQ(GetOpenClipboardWindow(), owner);
  clipboard.Close();
  EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
  ASSERT_EQ(clipboard.Open(), 0);
  ASSERT_EQ(clipboard.Open(), 0);
  clipboard.Close(true);
  EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
  EXPECT_EQ(clipboard.Close(), -1);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace orv

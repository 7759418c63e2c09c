#include "toolkit/win32/wide.h"

#include <windows.h>

namespace orv {

namespace {
constexpr UINT kCp932 = 932;
}

std::wstring Widen(std::string_view cp932) {
  if (cp932.empty()) return {};
  const int size = static_cast<int>(cp932.size());
  const int count = MultiByteToWideChar(kCp932, 0, cp932.data(), size, nullptr, 0);
  if (count <= 0) return {};
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(kCp932, 0, cp932.data(), size, wide.data(), count);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int count = WideCharToMultiByte(kCp932, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return {};
  std::string narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(kCp932, 0, utf16.data(), size, narrow.data(), count, nullptr, nullptr);
  return narrow;
}

}  // namespace orv

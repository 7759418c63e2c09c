// Pictures of the screen (under Wine: the virtual display's) as BMP files: the screen's own 32-bit
// pixels behind the two headers, so that no image library is needed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orv::test {

// build/<preset>/screenshots, made when missing.
inline std::filesystem::path ScreenshotFolder() {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  std::filesystem::path folder = (binary ? std::filesystem::path(binary) : std::filesystem::current_path()) / "screenshots";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

// The screen inside `area` (screen coordinates, clipped to the screen), saved at `path`.
inline bool SaveScreenshot(const std::filesystem::path& path, RECT area) {
  const RECT whole{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!IntersectRect(&area, &area, &whole)) return false;
  const LONG width = area.right - area.left, height = area.bottom - area.top;
  BITMAPINFOHEADER info{sizeof info, width, -height /* top row first */, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD size = static_cast<DWORD>(width * height * 4);
  const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof info;
  const BITMAPFILEHEADER file{0x4D42 /* "BM" */, headers + size, 0, 0, headers};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    // Opaque: viewers take the fourth byte, which the screen leaves 0, for alpha.
    for (DWORD i = 3; i < size; i += 4) static_cast<uint8_t*>(bits)[i] = 0xFF;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(static_cast<const char*>(bits), size);
    ok = static_cast<bool>(out);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// Both windows and a margin of 16 pixels (SaveScreenshot clips it to the screen).
inline RECT AroundWindows(HWND a, HWND b) {
  RECT ra{}, rb{};
  GetWindowRect(a, &ra);
  GetWindowRect(b ? b : a, &rb);
  UnionRect(&ra, &ra, &rb);
  InflateRect(&ra, 16, 16);
  return ra;
}

}  // namespace orv::test

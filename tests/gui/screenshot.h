// Pictures of the screen (under Wine: the virtual display's) as PNG files, uncompressed (deflate's
// stored blocks), so that no compression library is needed.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orv::test {

// build/<preset>/screenshots, made when missing.
inline std::filesystem::path ScreenshotFolder() {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  std::filesystem::path folder = (binary ? std::filesystem::path(binary) : std::filesystem::current_path()) / "screenshots";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

namespace png {

inline uint32_t Crc(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFFu) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

inline void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBe32(out, ~Crc(typed.data(), typed.size()));
}

// Rows of RGB pixels, top row first, as a PNG file.
inline std::vector<uint8_t> Encode(const std::vector<uint8_t>& rgb, int width, int height) {
  std::vector<uint8_t> raw;  // each row: filter type 0, then its pixels
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto* row = rgb.data() + static_cast<size_t>(y) * 3 * static_cast<size_t>(width);
    raw.insert(raw.end(), row, row + 3 * static_cast<size_t>(width));
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  uint32_t a = 1, b = 0;  // Adler-32 of the raw data
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || raw.empty();) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    if (last) break;
  }
  PutBe32(z, b << 16 | a);

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe32(header, static_cast<uint32_t>(width));
  PutBe32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits per sample, RGB
  Chunk(file, "IHDR", header);
  Chunk(file, "IDAT", z);
  Chunk(file, "IEND", {});
  return file;
}

}  // namespace png

// The screen inside `area` (screen coordinates, clipped to the screen), saved at `path`.
inline bool SaveScreenshot(const std::filesystem::path& path, RECT area) {
  area.left = std::max<LONG>(area.left, 0);
  area.top = std::max<LONG>(area.top, 0);
  area.right = std::min<LONG>(area.right, GetSystemMetrics(SM_CXSCREEN));
  area.bottom = std::min<LONG>(area.bottom, GetSystemMetrics(SM_CYSCREEN));
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height /* top row first */, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  std::vector<uint8_t> rgb;
  if (ok) {
    const auto* bgrx = static_cast<const uint8_t*>(bits);
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * static_cast<size_t>(height); ++i) {
      rgb[3 * i] = bgrx[4 * i + 2];
      rgb[3 * i + 1] = bgrx[4 * i + 1];
      rgb[3 * i + 2] = bgrx[4 * i];
    }
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) return false;
  std::filesystem::create_directories(path.parent_path());
  const std::vector<uint8_t> file = png::Encode(rgb, width, height);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

// Both windows and a margin of 16 pixels (SaveScreenshot clips it to the screen).
inline RECT AroundWindows(HWND a, HWND b) {
  RECT ra{}, rb{};
  GetWindowRect(a, &ra);
  if (b) GetWindowRect(b, &rb); else rb = ra;
  return {std::min(ra.left, rb.left) - 16, std::min(ra.top, rb.top) - 16, std::max(ra.right, rb.right) + 16,
          std::max(ra.bottom, rb.bottom) + 16};
}

}  // namespace orv::test

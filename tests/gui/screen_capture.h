// Screenshots from inside a GUI test: a rectangle of the screen as the user sees it, saved as a
// PNG (8-bit RGB, the image data in stored deflate blocks, so no compressor is needed) in the
// build's screenshots folder, where a reviewer looks at them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orv::test {

// build/<preset>/screenshots: beside the test files of the build, made when missing.
inline std::filesystem::path ScreenshotFolder() {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  std::filesystem::path folder = (binary ? std::filesystem::path(binary) : std::filesystem::current_path()) / "screenshots";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

namespace png {

// CRC-32 of PNG chunks (ISO 3309: reflected polynomial EDB88320h).
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

inline void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

// A zlib stream of stored blocks (RFC 1950/1951) around `raw`.
inline std::vector<uint8_t> Stored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(at), raw.begin() + static_cast<ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;  // Adler-32
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, (b << 16) | a);
  return z;
}

}  // namespace png

// Saves the screen's `area` as folder/NAME.png. True when written.
inline bool SaveScreenshot(const RECT& area, const std::string& name) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
  GdiFlush();
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
  const auto* pixels = static_cast<const uint8_t*>(bits);
  for (int y = 0; copied && y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = pixels + (static_cast<size_t>(y) * width + x) * 4;  // B, G, R, unused
      raw.insert(raw.end(), {p[2], p[1], p[0]});
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!copied) return false;

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  png::PutBe32(header, static_cast<uint32_t>(width));
  png::PutBe32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  png::Chunk(file, "IHDR", header);
  png::Chunk(file, "IDAT", png::Stored(raw));
  png::Chunk(file, "IEND", {});
  const std::filesystem::path path = ScreenshotFolder() / (name + ".png");
  std::FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}

// The screen around a box and its owner: both rectangles and a margin of 16 pixels.
inline RECT AroundWindows(HWND a, HWND b) {
  RECT ra{}, rb{};
  GetWindowRect(a, &ra);
  if (b) GetWindowRect(b, &rb); else rb = ra;
  RECT r{std::min(ra.left, rb.left) - 16, std::min(ra.top, rb.top) - 16, std::max(ra.right, rb.right) + 16,
         std::max(ra.bottom, rb.bottom) + 16};
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  return r;
}

}  // namespace orv::test

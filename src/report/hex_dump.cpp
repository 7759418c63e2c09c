#include "report/hex_dump.h"

#include <algorithm>

#include "report/print.h"

namespace orv {
namespace {

constexpr size_t kRowBytes = 16;

// " %02X" of one byte; dumps of whole 2048-byte structures are common, so the bytes do not each
// go through the formatter.
void AppendHexByte(std::string& text, uint8_t b) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  text += ' ';
  text += kDigits[b >> 4];
  text += kDigits[b & 0x0F];
}

// The character column of one row: positions whose offset lies in [begin, end) show the byte,
// the others a blank.
void AppendCharacters(std::string& text, std::span<const uint8_t> data, size_t rowOffset, size_t begin, size_t end) {
  for (size_t i = 0; i < kRowBytes; ++i) {
    const size_t offset = rowOffset + i;
    if (offset < begin || offset >= end) {
      text += ' ';
    } else {
      const uint8_t b = data[offset];
      text += IsDumpPrintable(b) ? static_cast<char>(b) : '.';
    }
  }
}

}  // namespace

void HexDumpAddressed(std::string& text, uint32_t base, std::span<const uint8_t> data) {
  const size_t n = data.size();
  if (n == 0) return;
  text += "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------\r\n";
  for (size_t row = 0; row < n; row += kRowBytes) {
    const uint32_t address = base + static_cast<uint32_t>(row);
    AppendFormat(text, "%04X-%04X ", address >> 16, address & 0xFFFFu);
    for (size_t i = 0; i < kRowBytes; ++i) {
      if (row + i < n) {
        AppendHexByte(text, data[row + i]);
      } else {
        text += "   ";
      }
      if (i == 7) text += " -";
    }
    text += "  ";
    AppendCharacters(text, data, row, 0, n);
    text += "\r\n";
  }
}

void HexDumpOffsets(std::string& text, uint32_t base, size_t start, size_t end, std::span<const uint8_t> data) {
  end = std::min(end, data.size());
  const size_t firstRow = start - start % kRowBytes;
  if (firstRow >= end) return;
  text += "          OFFS +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F ----------------\r\n";
  for (size_t row = firstRow; row < end; row += kRowBytes) {
    AppendFormat(text, "          %04X", (base + static_cast<uint32_t>(row)) & 0xFFFFu);
    for (size_t i = 0; i < kRowBytes; ++i) {
      const size_t offset = row + i;
      if (offset >= start && offset < end) {
        AppendHexByte(text, data[offset]);
      } else {
        text += "   ";
      }
    }
    text += ' ';
    AppendCharacters(text, data, row, start, end);
    text += "\r\n";
  }
}

}  // namespace orv

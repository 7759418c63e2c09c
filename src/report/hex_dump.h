// Hex dumps of raw drive answers, appended to a section text. Both layouts show a byte as its
// character when it is a printable single-byte character of code page 932 (20h-7Eh, and the
// half-width katakana A1h-DFh), so that the text read as Shift-JIS shows it; other bytes as '.'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orv {

// Rows of 16 bytes, each headed by the 32-bit address base + offset as "XXXX-XXXX". Nothing is
// appended for empty data.
void HexDumpAddressed(std::string& text, uint32_t base, std::span<const uint8_t> data);

// Rows of 16 bytes from the row holding `start` up to `end` (exclusive), offsets of `data`;
// positions outside [start, end) are blank. Each row shows (base + row offset) modulo 10000h.
// `end` is cut at the end of `data`, so a length field that claims more than was received
// never reads beyond it.
void HexDumpOffsets(std::string& text, uint32_t base, size_t start, size_t end, std::span<const uint8_t> data);

// True for the bytes the dumps show as themselves.
constexpr bool IsDumpPrintable(uint8_t b) { return (b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF); }

}  // namespace orv

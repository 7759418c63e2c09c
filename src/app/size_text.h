// The short size text of the drive list and the partition listing: a byte count as a
// seven-character field with one decimal and a decimal (1000-based) unit letter, "    4.7G".
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// Writes the size text of `value` bytes to `out` (at least 8 bytes) and returns `out`. From 0 to
// below 10^15 the text is always seven characters: four for the right-aligned integer part, the
// point, one decimal (cut, not rounded: 1999 bytes read "   1.9k") and one of B k M G T. Negative
// values and values of 10^15 or more have no such text: `out` is left an empty string.
char* FormatSize(char* out, int64_t value);
std::string FormatSize(int64_t value);

}  // namespace orv

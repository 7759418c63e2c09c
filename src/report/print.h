// Print routines shared by every report section: formatted text, column-aligned lines and
// digit-grouped numbers. All text goes through the toolkit formatter with a 4096-byte limit, so
// one call never produces more than 4096 bytes however long its arguments are.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "toolkit/format.h"

namespace orv {

// Formats into `destination` (replacing its content) and returns it, so that a call can stand as
// an argument of another call.
template <class... A>
std::string& FormatText(std::string& destination, const char* format, const A&... args) {
  destination = Format(format, args...);
  return destination;
}

// Appends the formatted text (at most 4096 bytes) to a section text.
template <class... A>
void AppendFormat(std::string& text, const char* format, const A&... args) {
  text += Format(format, args...);
}

// One item of a column-aligned line: `text` starts at `column` unless what stands before it
// already reaches that column, in which case it follows directly (nothing is ever cut).
struct ColumnItem {
  int column;
  std::string_view text;
};

// Whether AppendColumns ends the line with CR LF or leaves it open for further text.
enum class LineEnd { kClose, kOpen };

// Appends one line made of `items`. Columns count from the start of what this call appends.
// A first column below 0 appends nothing. A closed line gets CR LF only when something was
// appended, so an empty call never adds an empty line.
void AppendColumns(std::string& text, std::initializer_list<ColumnItem> items, LineEnd end = LineEnd::kClose);

// Decimal digits of `value` with ',' before every group of three counted from the right
// (1234567 -> "1,234,567", -1234 -> "-1,234"). Replaces `destination` and returns it.
std::string& FormatGrouped(std::string& destination, int64_t value);

// FormatGrouped right-aligned in `width` characters (wider values are not cut).
std::string& FormatGroupedRight(int width, std::string& destination, int64_t value);

}  // namespace orv

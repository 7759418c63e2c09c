#include "report/print.h"

#include <cstdlib>

namespace orv {

void AppendColumns(std::string& text, std::initializer_list<ColumnItem> items, LineEnd end) {
  if (items.size() == 0 || items.begin()->column < 0) return;
  size_t position = 0;
  for (const ColumnItem& item : items) {
    if (item.column > 0 && static_cast<size_t>(item.column) > position) {
      text.append(static_cast<size_t>(item.column) - position, ' ');
      position = static_cast<size_t>(item.column);
    }
    text += item.text;
    position += item.text.size();
  }
  if (end == LineEnd::kClose && position > 0) text += "\r\n";
}

std::string& FormatGrouped(std::string& destination, int64_t value) {
  // The magnitude as unsigned, so that the most negative value has digits too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[32];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);

  destination.clear();
  if (value < 0) destination += '-';
  for (size_t i = count; i-- > 0;) {
    destination += digits[i];
    if (i != 0 && i % 3 == 0) destination += ',';
  }
  return destination;
}

std::string& FormatGroupedRight(int width, std::string& destination, int64_t value) {
  std::string grouped;
  FormatGrouped(grouped, value);
  return FormatText(destination, "%*s", width, grouped);
}

}  // namespace orv

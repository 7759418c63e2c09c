#include "app/size_text.h"

#include "toolkit/format.h"

namespace orv {

namespace {

struct SizeUnit {
  int64_t below;    // first value too large for this unit
  int64_t divisor;  // bytes per unit
  char letter;
};

// Decimal (SI) units: a disc's size as printed on its box.
constexpr SizeUnit kSizeUnits[] = {
    {1000, 1, 'B'},
    {1000000, 1000, 'k'},
    {1000000000, 1000000, 'M'},
    {1000000000000, 1000000000, 'G'},
    {1000000000000000, 1000000000000, 'T'},
};

}  // namespace

char* FormatSize(char* out, int64_t value) {
  out[0] = '\0';
  // A negative count would print as a ten-digit number and overrun the 8-byte field.
  if (value < 0) return out;
  for (const SizeUnit& unit : kSizeUnits) {
    if (value < unit.below) {
      const auto whole = static_cast<uint32_t>(value / unit.divisor);
      const auto tenth = static_cast<uint32_t>(value % unit.divisor * 10 / unit.divisor);
      const FormatArg args[] = {whole, tenth, unit.letter};
      FormatV(8, out, "%4u.%1u%c", args);
      return out;
    }
  }
  return out;
}

std::string FormatSize(int64_t value) {
  char text[8];
  return FormatSize(text, value);
}

}  // namespace orv

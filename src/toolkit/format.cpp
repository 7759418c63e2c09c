// The text formatter: one pass over the format text, each conversion built in a fixed scratch
// area of the call and copied out through a sink that never writes past the byte limit.
#include "toolkit/format.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "toolkit/sjis.h"

namespace orv {

uint64_t FormatArg::Bits() const {
  switch (kind_) {
    case Kind::kSigned:
      return static_cast<uint64_t>(i_);
    case Kind::kUnsigned:
      return u_;
    case Kind::kPointer:
      return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p_));
    case Kind::kDouble:
    case Kind::kString:
      break;
  }
  return 0;
}

double FormatArg::AsDouble() const {
  switch (kind_) {
    case Kind::kSigned:
      return static_cast<double>(i_);
    case Kind::kUnsigned:
      return static_cast<double>(u_);
    case Kind::kDouble:
      return d_;
    case Kind::kString:
    case Kind::kPointer:
      break;
  }
  return 0.0;
}

const char* FormatArg::AsString() const { return kind_ == Kind::kString ? s_ : nullptr; }

namespace {

enum class Length : uint8_t { kDefault, kLong, k64, k16 };

// One conversion directive, reset at every '%'.
struct FieldSpec {
  bool leftJustify = false;
  bool zeroPad = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  int32_t width = -1;      // -1: none
  int32_t precision = -1;  // -1: none
  char groupChar = ',';
  int32_t groupSize = -1;  // digits per group; 0 or less: no grouping
  Length length = Length::kDefault;
  char conversion = 0;
};

// Largest text a conversion builds before layout: 'f' of the largest double has 309 integer
// digits, the point and at most kMaxFloatPrecision decimals.
constexpr int kMaxFloatPrecision = 60;
constexpr size_t kScratchSize = 400;
// Size-unit conversions keep at most this many decimals.
constexpr int kMaxSizePrecision = 11;
// Widths, precisions and group sizes written as digits saturate here instead of overflowing.
constexpr int32_t kMaxFieldNumber = 0x3FFFFFFF;

// The destination under the byte limit: every byte goes through here, so nothing is ever written
// past the limit, and a fill of any width costs at most the room that is left.
class Sink {
 public:
  Sink(char* dest, uint32_t limit) : dest_(dest), limit_(limit) {}

  bool Full() const { return count_ >= limit_; }
  uint32_t Room() const { return limit_ - count_; }
  uint32_t Count() const { return count_; }

  void Put(char c) {
    if (count_ < limit_) dest_[count_++] = c;
  }
  void PutRun(const char* text, size_t n) {
    if (n > Room()) n = Room();
    std::memcpy(dest_ + count_, text, n);
    count_ += static_cast<uint32_t>(n);
  }
  void PutFill(char c, size_t n) {
    if (n > Room()) n = Room();
    std::memset(dest_ + count_, c, n);
    count_ += static_cast<uint32_t>(n);
  }
  // The terminator is stored only when it fits under the limit.
  void Terminate() {
    if (count_ < limit_) dest_[count_] = '\0';
  }

 private:
  char* dest_;
  uint32_t limit_;
  uint32_t count_ = 0;
};

// Reads the captured arguments in order. Past the last one, integers read 0, doubles 0.0 and
// strings null, so a short argument list gives a defined text.
class ArgCursor {
 public:
  explicit ArgCursor(FormatArgs args) : args_(args) {}

  uint64_t NextBits() {
    const FormatArg* a = Next();
    return a ? a->Bits() : 0;
  }
  // An int argument ('*' width, precision or group size): the low 32 bits, signed.
  int32_t NextInt() { return static_cast<int32_t>(static_cast<uint32_t>(NextBits())); }
  double NextDouble() {
    const FormatArg* a = Next();
    return a ? a->AsDouble() : 0.0;
  }
  const char* NextString() {
    const FormatArg* a = Next();
    return a ? a->AsString() : nullptr;
  }

 private:
  const FormatArg* Next() { return next_ < args_.size() ? &args_[next_++] : nullptr; }

  FormatArgs args_;
  size_t next_ = 0;
};

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// A run of decimal digits, saturated at kMaxFieldNumber.
int32_t ReadDigits(const uint8_t*& p) {
  int32_t value = 0;
  while (IsDigit(*p)) {
    value = value > (kMaxFieldNumber - 9) / 10 ? kMaxFieldNumber : value * 10 + (*p - '0');
    ++p;
  }
  return value;
}

// Digits of `value` in `base`, most significant first; returns the count.
size_t PutDigits(char* out, uint64_t value, unsigned base, const char* digitSet) {
  char reversed[24];
  size_t n = 0;
  do {
    reversed[n++] = digitSet[value % base];
    value /= base;
  } while (value != 0);
  for (size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

size_t PutDecimal(char* out, uint64_t value) { return PutDigits(out, value, 10, "0123456789"); }

size_t LeadingDigits(const char* text, size_t len) {
  size_t n = 0;
  while (n < len && IsDigit(static_cast<uint8_t>(text[n]))) ++n;
  return n;
}

// Lays out one number: grouping, sign, 0x prefix, fill and justification. `groupable` is the
// length of the leading run of `text` that grouping applies to (the integer digits). The fill
// zeros of zero-pad are not grouped.
void EmitNumberField(Sink& sink, const FieldSpec& fieldSpec, const char* text, size_t len,
                     size_t groupable, bool negative) {
  const bool hex = fieldSpec.conversion == 'x' || fieldSpec.conversion == 'X';
  const size_t groupSize = fieldSpec.groupSize > 0 ? static_cast<size_t>(fieldSpec.groupSize) : 0;
  const size_t separators = groupSize != 0 && groupable > 0 ? (groupable - 1) / groupSize : 0;
  const bool signPosition = negative || fieldSpec.plus || fieldSpec.space;
  const bool prefix = fieldSpec.alternate && hex;

  const size_t fieldLength = len + separators + (signPosition ? 1 : 0) + (prefix ? 2 : 0);
  const size_t width = fieldSpec.width > 0 && static_cast<size_t>(fieldSpec.width) > fieldLength
                           ? static_cast<size_t>(fieldSpec.width)
                           : fieldLength;
  const bool zeroPad = fieldSpec.zeroPad && !fieldSpec.leftJustify;

  if (!zeroPad && !fieldSpec.leftJustify) sink.PutFill(' ', width - fieldLength);
  if (negative) {
    sink.Put('-');
  } else if (fieldSpec.plus) {
    sink.Put('+');
  } else if (fieldSpec.space) {
    sink.Put(' ');
  }
  if (prefix) {
    sink.Put('0');
    sink.Put(fieldSpec.conversion);
  }
  if (zeroPad) sink.PutFill('0', width - fieldLength);
  if (separators == 0) {
    sink.PutRun(text, len);
  } else {
    for (size_t i = 0; i < groupable; ++i) {
      if (i != 0 && (groupable - i) % groupSize == 0) sink.Put(fieldSpec.groupChar);
      sink.Put(text[i]);
    }
    sink.PutRun(text + groupable, len - groupable);
  }
  if (fieldSpec.leftJustify) sink.PutFill(' ', width - fieldLength);
}

// A byte count with a unit letter: the integer part, `precision` decimals cut (not rounded) and
// the unit. The 1024-based table switches from k to M at 1,000,000 bytes so that its text never
// needs four integer digits of k. Values past the last unit stay in T with a larger integer part.
size_t SizeText(char* out, uint64_t value, int precision, bool binary) {
  struct Unit {
    uint64_t below;  // first value of the next unit
    uint64_t size;   // bytes per unit
    char letter;
  };
  static constexpr Unit kDecimal[] = {
      {1000, 1, 'B'},
      {1000000, 1000, 'k'},
      {1000000000, 1000000, 'M'},
      {1000000000000, 1000000000, 'G'},
      {0, 1000000000000, 'T'},
  };
  static constexpr Unit kBinary[] = {
      {1024, 1, 'B'},
      {1000000, uint64_t{1} << 10, 'k'},
      {uint64_t{1} << 30, uint64_t{1} << 20, 'M'},
      {uint64_t{1} << 40, uint64_t{1} << 30, 'G'},
      {0, uint64_t{1} << 40, 'T'},
  };
  const Unit* table = binary ? kBinary : kDecimal;
  size_t row = 0;
  while (row < 4 && value >= table[row].below) ++row;
  const Unit& unit = table[row];

  if (precision < 0 || precision > kMaxSizePrecision) precision = kMaxSizePrecision;
  size_t n = PutDecimal(out, value / unit.size);
  if (precision > 0) {
    out[n++] = '.';
    // Long division keeps remainder * 10 below 10^13, so any precision stays within 64 bits.
    uint64_t remainder = value % unit.size;
    for (int i = 0; i < precision; ++i) {
      remainder *= 10;
      out[n++] = static_cast<char>('0' + remainder / unit.size);
      remainder %= unit.size;
    }
  }
  out[n++] = unit.letter;
  return n;
}

// 'f', 'e' and 'E' of a magnitude (sign handled by the layout). Exponents have three digits.
size_t FloatText(char* out, double magnitude, int precision, char conversion) {
  if (std::isnan(magnitude)) {
    std::memcpy(out, "nan", 3);
    return 3;
  }
  if (std::isinf(magnitude)) {
    std::memcpy(out, "inf", 3);
    return 3;
  }
  if (precision < 0) precision = 6;
  if (precision > kMaxFloatPrecision) precision = kMaxFloatPrecision;
  char* const end = out + kScratchSize;
  if (conversion == 'f') {
    const auto result = std::to_chars(out, end, magnitude, std::chars_format::fixed, precision);
    return result.ec == std::errc() ? static_cast<size_t>(result.ptr - out) : 0;
  }
  const auto result = std::to_chars(out, end, magnitude, std::chars_format::scientific, precision);
  if (result.ec != std::errc()) return 0;
  // to_chars writes "d.ddde+XX"; rewrite the exponent as the conversion letter, sign, 3 digits.
  char* e = static_cast<char*>(std::memchr(out, 'e', static_cast<size_t>(result.ptr - out)));
  if (e == nullptr) return static_cast<size_t>(result.ptr - out);
  const char sign = e[1];
  int exponent = 0;
  for (const char* d = e + 2; d < result.ptr; ++d) exponent = exponent * 10 + (*d - '0');
  e[0] = conversion;
  e[1] = sign;
  e[2] = static_cast<char>('0' + exponent / 100);
  e[3] = static_cast<char>('0' + exponent / 10 % 10);
  e[4] = static_cast<char>('0' + exponent % 10);
  return static_cast<size_t>(e + 5 - out);
}

void EmitString(Sink& sink, const FieldSpec& fieldSpec, const char* text) {
  if (text == nullptr) text = "(null)";
  // Never reads past the precision: the text may be a fixed field without a terminator.
  const size_t most = fieldSpec.precision >= 0 ? static_cast<size_t>(fieldSpec.precision) : SIZE_MAX;
  size_t len = 0;
  while (len < most && text[len] != '\0') ++len;
  const size_t pad = fieldSpec.width > 0 && static_cast<size_t>(fieldSpec.width) > len
                         ? static_cast<size_t>(fieldSpec.width) - len
                         : 0;
  if (!fieldSpec.leftJustify) sink.PutFill(' ', pad);
  sink.PutRun(text, len);
  if (fieldSpec.leftJustify) sink.PutFill(' ', pad);
}

// The integer argument as 'u', 'x', 'X' read it: zero-extended from the length.
uint64_t UnsignedArg(ArgCursor& args, Length length) {
  const uint64_t bits = args.NextBits();
  switch (length) {
    case Length::k16:
      return bits & 0xFFFF;
    case Length::k64:
      return bits;
    case Length::kDefault:
    case Length::kLong:
      break;
  }
  return bits & 0xFFFFFFFF;
}

// Parses one conversion directive starting after its '%' and writes its text. Returns where
// the format continues.
const uint8_t* Convert(Sink& sink, const uint8_t* p, ArgCursor& args) {
  FieldSpec fieldSpec;
  for (;; ++p) {
    if (*p == '-') {
      fieldSpec.leftJustify = true;
    } else if (*p == '0') {
      fieldSpec.zeroPad = true;
    } else if (*p == '+') {
      fieldSpec.plus = true;
    } else if (*p == ' ') {
      fieldSpec.space = true;
    } else if (*p == '#') {
      fieldSpec.alternate = true;
    } else {
      break;
    }
  }

  // A width of 0 (or a negative one from '*') means no width.
  int32_t width;
  if (*p == '*') {
    ++p;
    width = args.NextInt();
  } else {
    width = ReadDigits(p);
  }
  fieldSpec.width = width > 0 ? width : -1;

  if (*p == '.') {
    ++p;
    if (*p == '*') {
      ++p;
      const int32_t precision = args.NextInt();
      fieldSpec.precision = precision >= 0 ? precision : -1;
    } else {
      fieldSpec.precision = ReadDigits(p);
    }
  }

  if (*p == ',' || *p == '_' || *p == '|') {
    fieldSpec.groupChar = static_cast<char>(*p++);
    fieldSpec.groupSize = 3;
    if (*p == '*') {
      ++p;
      fieldSpec.groupSize = args.NextInt();
    } else if (IsDigit(*p)) {
      const int32_t size = ReadDigits(p);
      if (size != 0) fieldSpec.groupSize = size;
    }
  }

  if ((*p == 'I' || *p == 'i') && p[1] == '6' && p[2] == '4') {
    fieldSpec.length = Length::k64;
    p += 3;
  } else if (*p == 'l' && p[1] == 'l') {
    fieldSpec.length = Length::k64;
    p += 2;
  } else if (*p == 'l') {
    fieldSpec.length = Length::kLong;
    ++p;
  } else if (*p == 'h') {
    fieldSpec.length = Length::k16;
    ++p;
  }

  fieldSpec.conversion = static_cast<char>(*p);
  char scratch[kScratchSize];
  switch (*p) {
    case '\0':
      // Cut off by the end of the format: nothing is written.
      return p;
    case 'd': {
      const uint64_t bits = args.NextBits();
      int64_t value;
      if (fieldSpec.length == Length::k64) {
        value = static_cast<int64_t>(bits);
      } else if (fieldSpec.length == Length::k16) {
        value = static_cast<int16_t>(static_cast<uint16_t>(bits));
      } else {
        value = static_cast<int32_t>(static_cast<uint32_t>(bits));
      }
      const bool negative = value < 0;
      const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
      const size_t n = PutDecimal(scratch, magnitude);
      EmitNumberField(sink, fieldSpec, scratch, n, n, negative);
      break;
    }
    case 'u':
    case 'x':
    case 'X': {
      const uint64_t value = UnsignedArg(args, fieldSpec.length);
      fieldSpec.plus = false;
      size_t n;
      if (*p == 'u') {
        n = PutDecimal(scratch, value);
      } else {
        if (value == 0) fieldSpec.alternate = false;
        n = PutDigits(scratch, value, 16, *p == 'x' ? "0123456789abcdef" : "0123456789ABCDEF");
      }
      EmitNumberField(sink, fieldSpec, scratch, n, n, false);
      break;
    }
    case 'c':
      sink.Put(static_cast<char>(args.NextBits()));
      break;
    case 's':
      EmitString(sink, fieldSpec, args.NextString());
      break;
    case 'k':
    case 'K': {
      uint64_t magnitude;
      bool negative = false;
      if (fieldSpec.length == Length::k64) {
        const int64_t value = static_cast<int64_t>(args.NextBits());
        negative = value < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
      } else {
        magnitude = UnsignedArg(args, fieldSpec.length);
      }
      const int precision = fieldSpec.precision < 0 ? 1 : fieldSpec.precision;
      const size_t n = SizeText(scratch, magnitude, precision, *p == 'K');
      EmitNumberField(sink, fieldSpec, scratch, n, LeadingDigits(scratch, n), negative);
      break;
    }
    case 'f':
    case 'e':
    case 'E': {
      const double value = args.NextDouble();
      const bool negative = std::signbit(value) && !std::isnan(value);
      const size_t n = FloatText(scratch, std::fabs(value), fieldSpec.precision, *p);
      EmitNumberField(sink, fieldSpec, scratch, n, LeadingDigits(scratch, n), negative);
      break;
    }
    default:
      // Not a conversion: the byte is written as text. A Shift-JIS character is left to the
      // main loop so that it is copied whole.
      if (IsSjisLeadByte(*p) && IsSjisTrailByte(p[1])) return p;
      sink.Put(static_cast<char>(*p));
      break;
  }
  return p + 1;
}

}  // namespace

uint32_t FormatV(uint32_t limit, char* destination, const char* format, FormatArgs args) {
  if (limit == 0 || destination == nullptr) return 0;
  Sink sink(destination, limit);
  ArgCursor cursor(args);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(format != nullptr ? format : "");

  while (*p != '\0' && !sink.Full()) {
    const uint8_t c = *p;
    // Double-byte characters are taken before the escape test: a trail byte 5Ch is part of the
    // character, not a backslash. Half a character is never written.
    if (IsSjisLeadByte(c) && IsSjisTrailByte(p[1])) {
      if (sink.Room() < 2) break;
      sink.Put(static_cast<char>(c));
      sink.Put(static_cast<char>(p[1]));
      p += 2;
    } else if (c == '%') {
      if (p[1] == '%') {
        sink.Put('%');
        p += 2;
      } else {
        p = Convert(sink, p + 1, cursor);
      }
    } else if (c == '\\') {
      const uint8_t escaped = p[1];
      if (escaped == '\0') break;
      if (IsSjisLeadByte(escaped) && IsSjisTrailByte(p[2])) {
        ++p;  // an escaped double-byte character is the character itself, copied whole
        continue;
      }
      sink.Put(escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : static_cast<char>(escaped));
      p += 2;
    } else {
      sink.Put(static_cast<char>(c));
      ++p;
    }
  }
  sink.Terminate();
  return sink.Count();
}

std::string FormatToString(const char* format, FormatArgs args) {
  constexpr uint32_t kLimit = 4096;
  std::string text(kLimit, '\0');
  text.resize(FormatV(kLimit, text.data(), format, args));
  return text;
}

}  // namespace orv

// The program's own printf-like text formatter.
//
// The format language is the common one (flags, width, precision, length prefix, conversion)
// plus what the report texts rely on: a digit-grouping specifier (',' '_' '|', optionally with a
// group size), the 64-bit length prefix "I64", the size-unit conversions 'k' (1000-based) and
// 'K' (1024-based), backslash escapes interpreted in the format text, Shift-JIS double-byte
// characters copied whole, and a hard limit on the bytes written.
//
// Arguments are captured with their types (FormatArg), so a conversion that does not fit its
// argument prints a defined text instead of reading a stack slot that is not there:
//   - past the last argument, integer conversions (and '*') read 0, 'f' 'e' 'E' read 0.0 and
//     's' reads a null string;
//   - 's' of anything but a string, and of a null string, prints "(null)";
//   - integer conversions of a string or a double read 0; of a pointer, its address;
//     'f' 'e' 'E' of an integer print its value.
//
// Choices where the language leaves room:
//   - A conversion character outside the language is written as text and reads no argument
//     ("%i" writes i); a Shift-JIS character there is copied whole.
//   - Grouping applies to the integer digits only ("%.1,f" of 1234567.25 gives 1,234,567.2;
//     "%,I64k" gives 1,234.5T); the fill zeros of zero-pad are not grouped.
//   - 'k' of 10^15 bytes or more and 'K' of 2^50 or more stay in T with a larger integer part
//     (10^15 gives 1000.0T with 'k', 2^50 gives 1024.0T with 'K').
//   - A negative '*' width means no width; a negative '*' precision means none.
//   - 'f' 'e' 'E' keep at most 60 decimals and round to nearest; "inf" and "nan" for
//     non-finite values; the exponent has three digits ("1.5e+003").
//   - A limit of 0 or a null destination writes nothing and returns 0.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace orv {

// One captured argument. Integers keep their signedness and width so that the conversions can
// apply the length prefix the way a variable argument list would: 'h' truncates to 16 bits, a
// default or 'l' length takes the low 32 bits, a 64-bit length takes all 64.
class FormatArg {
 public:
  enum class Kind : uint8_t { kSigned, kUnsigned, kDouble, kString, kPointer };

  FormatArg(signed char v) : kind_(Kind::kSigned), i_(v) {}
  FormatArg(short v) : kind_(Kind::kSigned), i_(v) {}
  FormatArg(int v) : kind_(Kind::kSigned), i_(v) {}
  FormatArg(long v) : kind_(Kind::kSigned), i_(v) {}
  FormatArg(long long v) : kind_(Kind::kSigned), i_(v) {}
  FormatArg(char v) : kind_(Kind::kSigned), i_(static_cast<unsigned char>(v)) {}
  FormatArg(unsigned char v) : kind_(Kind::kUnsigned), u_(v) {}
  FormatArg(unsigned short v) : kind_(Kind::kUnsigned), u_(v) {}
  FormatArg(unsigned v) : kind_(Kind::kUnsigned), u_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::kUnsigned), u_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::kUnsigned), u_(v) {}
  FormatArg(bool v) : kind_(Kind::kUnsigned), u_(v ? 1u : 0u) {}
  FormatArg(float v) : kind_(Kind::kDouble), d_(v) {}
  FormatArg(double v) : kind_(Kind::kDouble), d_(v) {}
  FormatArg(const char* v) : kind_(Kind::kString), s_(v) {}
  FormatArg(char* v) : kind_(Kind::kString), s_(v) {}
  FormatArg(const std::string& v) : kind_(Kind::kString), s_(v.c_str()) {}
  FormatArg(const void* v) : kind_(Kind::kPointer), p_(v) {}
  FormatArg(std::nullptr_t) : kind_(Kind::kString), s_(nullptr) {}

  Kind kind() const { return kind_; }
  // The argument as the raw 64-bit integer a conversion reads (doubles and strings read 0).
  uint64_t Bits() const;
  double AsDouble() const;            // integers convert; strings read 0.0
  const char* AsString() const;       // null unless the argument is a string
  const void* AsPointer() const { return kind_ == Kind::kPointer ? p_ : nullptr; }

 private:
  Kind kind_;
  union {
    int64_t i_;
    uint64_t u_;
    double d_;
    const char* s_;
    const void* p_;
  };
};

using FormatArgs = std::span<const FormatArg>;

// Writes at most `limit` bytes of text to `destination` and returns the count written (no
// terminator counted). When fewer than `limit` bytes were written a NUL follows the text; when
// the text fills the limit exactly no terminator is stored.
uint32_t FormatV(uint32_t limit, char* destination, const char* format, FormatArgs args);

// FormatV with a limit of 4096. The destination must hold 4097 bytes to be sure of a terminator.
template <class... A>
uint32_t FormatString(char* destination, const char* format, const A&... args) {
  const FormatArg captured[] = {FormatArg(args)..., FormatArg(0)};
  return FormatV(4096, destination, format, FormatArgs(captured, sizeof...(A)));
}

// The same text as a std::string (limit 4096): the form most callers want.
std::string FormatToString(const char* format, FormatArgs args);
template <class... A>
std::string Format(const char* format, const A&... args) {
  const FormatArg captured[] = {FormatArg(args)..., FormatArg(0)};
  return FormatToString(format, FormatArgs(captured, sizeof...(A)));
}

}  // namespace orv

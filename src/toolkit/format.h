// The program's own printf-like text formatter.
//
// The format language is the common one (flags, width, precision, length prefix, conversion)
// plus what the report texts rely on: a digit-grouping specifier (',' '_' '|', optionally with a
// group size), the 64-bit length prefix "I64", the size-unit conversions 'k' (1000-based) and
// 'K' (1024-based), backslash escapes interpreted in the format text, Shift-JIS double-byte
// characters copied whole, and a hard limit on the bytes written.
//
// Arguments are captured with their types (FormatArg), so a conversion that does not fit its
// argument prints a defined text instead of reading a stack slot that is not there.
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

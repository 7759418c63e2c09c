#include "toolkit/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "toolkit/sjis.h"

namespace orv {

// ---- The value ----

void JsonValue::SetSigned(long long value) {
  kind_ = Kind::kInteger;
  negative_ = value < 0;
  // The magnitude of the most negative value does not fit a signed type; it does fit unsigned.
  magnitude_ = negative_ ? 0 - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
}

void JsonValue::SetUnsigned(unsigned long long value) {
  kind_ = Kind::kInteger;
  negative_ = false;
  magnitude_ = value;
}

bool JsonValue::Unsigned(uint64_t& value) const {
  if (kind_ != Kind::kInteger || (negative_ && magnitude_ != 0)) return false;
  value = magnitude_;
  return true;
}

double JsonValue::Real() const {
  if (kind_ == Kind::kReal) return real_;
  if (kind_ == Kind::kInteger) return negative_ ? -static_cast<double>(magnitude_) : static_cast<double>(magnitude_);
  return 0;
}

JsonValue& JsonValue::Append(JsonValue value) {
  items_.push_back(std::move(value));
  return items_.back();
}

JsonValue& JsonValue::Set(std::string name, JsonValue value) {
  for (auto& member : members_) {
    if (member.first == name) return member.second = std::move(value);
  }
  members_.emplace_back(std::move(name), std::move(value));
  return members_.back().second;
}

const JsonValue* JsonValue::Find(std::string_view name) const {
  for (const auto& member : members_) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

// ---- Writing ----

namespace {

// Length of the well-formed UTF-8 sequence at `text[at]`, or 0 when it is malformed (a stray
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  size_t extra;
  uint32_t c;
  uint32_t minimum;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at - 1 < extra) return 0;
  for (size_t i = 1; i <= extra; ++i) {
    const auto b = static_cast<uint8_t>(text[at + i]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3Fu);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return extra + 1;
}

void WriteString(std::string& out, std::string_view text) {
  out += '"';
  for (size_t at = 0; at < text.size();) {
    const auto c = static_cast<uint8_t>(text[at]);
    const size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++at;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(at, length));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
    at += length;
  }
  out += '"';
}

void WriteReal(std::string& out, double value) {
  // JSON has no infinities and no NaN; a measurement that is not a number is absent.
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  // The C library writes the decimal point of the locale; JSON knows only '.'.
  for (char* p = text; *p != 0; ++p) {
    if (*p == ',') *p = '.';
  }
  out += text;
}

void NewLine(std::string& out, int indent, int depth) {
  if (indent <= 0) return;
  out += '\n';
  out.append(static_cast<size_t>(indent) * static_cast<size_t>(depth), ' ');
}

void WriteValue(std::string& out, const JsonValue& value, int indent, int depth) {
  switch (value.GetKind()) {
    case JsonValue::Kind::kNull:
      out += "null";
      return;
    case JsonValue::Kind::kBool:
      out += value.Bool() ? "true" : "false";
      return;
    case JsonValue::Kind::kInteger: {
      if (value.Negative()) out += '-';
      out += std::to_string(value.Magnitude());
      return;
    }
    case JsonValue::Kind::kReal:
      WriteReal(out, value.Real());
      return;
    case JsonValue::Kind::kString:
      WriteString(out, value.String());
      return;
    case JsonValue::Kind::kArray: {
      out += '[';
      bool first = true;
      for (const JsonValue& item : value.Items()) {
        if (!first) out += ',';
        first = false;
        NewLine(out, indent, depth + 1);
        WriteValue(out, item, indent, depth + 1);
      }
      if (!first) NewLine(out, indent, depth);
      out += ']';
      return;
    }
    case JsonValue::Kind::kObject: {
      out += '{';
      bool first = true;
      for (const auto& [name, member] : value.Members()) {
        if (!first) out += ',';
        first = false;
        NewLine(out, indent, depth + 1);
        WriteString(out, name);
        out += indent > 0 ? ": " : ":";
        WriteValue(out, member, indent, depth + 1);
      }
      if (!first) NewLine(out, indent, depth);
      out += '}';
      return;
    }
  }
}

}  // namespace

std::string WriteJson(const JsonValue& value, int indent) {
  std::string out;
  WriteValue(out, value, indent, 0);
  return out;
}

// ---- Parsing ----

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  int Parse(JsonValue& value, std::string& error) {
    SkipSpace();
    if (!ParseValue(value, 0)) {
      error = why_ + " at byte " + std::to_string(at_);
      return -1;
    }
    SkipSpace();
    if (at_ != text_.size()) {
      error = "text after the value at byte " + std::to_string(at_);
      return -1;
    }
    return 0;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool Fail(const char* why) {
    why_ = why;
    return false;
  }
  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
  void SkipSpace() {
    while (!AtEnd() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) ++at_;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("unknown word");
    at_ += word.size();
    return true;
  }

  bool ParseValue(JsonValue& value, int depth) {
    if (depth >= kMaxDepth) return Fail("nesting deeper than 64 levels");
    switch (Peek()) {
      case '{': return ParseObject(value, depth);
      case '[': return ParseArray(value, depth);
      case '"': value = JsonValue(Kind::kString); return ParseString(value.string_);
      case 't': value = JsonValue(true); return Word("true");
      case 'f': value = JsonValue(false); return Word("false");
      case 'n': value = JsonValue(); return Word("null");
      default: return ParseNumber(value);
    }
  }

  bool ParseObject(JsonValue& value, int depth) {
    value = JsonValue::Object();
    ++at_;
    SkipSpace();
    if (Peek() == '}') return ++at_, true;
    while (true) {
      SkipSpace();
      if (Peek() != '"') return Fail("expected a member name");
      std::string name;
      if (!ParseString(name)) return false;
      SkipSpace();
      if (Peek() != ':') return Fail("expected ':'");
      ++at_;
      SkipSpace();
      JsonValue member;
      if (!ParseValue(member, depth + 1)) return false;
      value.Set(std::move(name), std::move(member));
      SkipSpace();
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      if (Peek() == '}') return ++at_, true;
      return Fail("expected ',' or '}'");
    }
  }

  bool ParseArray(JsonValue& value, int depth) {
    value = JsonValue::Array();
    ++at_;
    SkipSpace();
    if (Peek() == ']') return ++at_, true;
    while (true) {
      SkipSpace();
      JsonValue item;
      if (!ParseValue(item, depth + 1)) return false;
      value.Append(std::move(item));
      SkipSpace();
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      if (Peek() == ']') return ++at_, true;
      return Fail("expected ',' or ']'");
    }
  }

  bool Hex4(uint32_t& unit) {
    if (text_.size() - at_ < 4) return Fail("\\u needs four hex digits");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      unit <<= 4;
      if (c >= '0' && c <= '9') unit |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') unit |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') unit |= static_cast<uint32_t>(c - 'A' + 10);
      else return Fail("\\u needs four hex digits");
    }
    return true;
  }

  bool ParseString(std::string& out) {
    ++at_;  // the opening quote
    while (true) {
      if (AtEnd()) return Fail("string without its closing quote");
      const auto c = static_cast<uint8_t>(text_[at_]);
      if (c == '"') return ++at_, true;
      if (c < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        // Raw bytes must be UTF-8; one malformed byte becomes U+FFFD, as the writer does.
        const size_t length = Utf8SequenceLength(text_, at_);
        if (length == 0) {
          out += "\xEF\xBF\xBD";
          ++at_;
        } else {
          out.append(text_.substr(at_, length));
          at_ += length;
        }
        continue;
      }
      ++at_;
      if (AtEnd()) return Fail("string without its closing quote");
      const char e = text_[at_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t unit = 0;
          if (!Hex4(unit)) return false;
          if (unit >= 0xD800 && unit <= 0xDBFF && text_.substr(at_, 2) == "\\u") {
            const size_t mark = at_;
            at_ += 2;
            uint32_t low = 0;
            if (!Hex4(low)) return false;
            if (low >= 0xDC00 && low <= 0xDFFF) {
              AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
              break;
            }
            at_ = mark;  // a lone high surrogate; the next escape stands on its own
          }
          AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
          break;
        }
        default:
          return Fail("unknown escape in a string");
      }
    }
  }

  bool ParseNumber(JsonValue& value) {
    const size_t start = at_;
    const bool negative = Peek() == '-';
    if (negative) ++at_;
    if (Peek() < '0' || Peek() > '9') return Fail("expected a value");
    // A leading zero stands alone.
    if (Peek() == '0') {
      ++at_;
    } else {
      while (Peek() >= '0' && Peek() <= '9') ++at_;
    }
    bool integer = true;
    if (Peek() == '.') {
      integer = false;
      ++at_;
      if (Peek() < '0' || Peek() > '9') return Fail("expected a digit after '.'");
      while (Peek() >= '0' && Peek() <= '9') ++at_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      integer = false;
      ++at_;
      if (Peek() == '+' || Peek() == '-') ++at_;
      if (Peek() < '0' || Peek() > '9') return Fail("expected a digit in the exponent");
      while (Peek() >= '0' && Peek() <= '9') ++at_;
    }
    const std::string number(text_.substr(start, at_ - start));
    if (integer) {
      uint64_t magnitude = 0;
      bool fits = true;
      for (size_t i = negative ? 1 : 0; i < number.size(); ++i) {
        const auto digit = static_cast<uint64_t>(number[i] - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
          fits = false;
          break;
        }
        magnitude = magnitude * 10 + digit;
      }
      if (fits) {
        value = JsonValue(Kind::kInteger);
        value.negative_ = negative && magnitude != 0;
        value.magnitude_ = magnitude;
        return true;
      }
    }
    // Fractions, exponents and integers beyond 64 bits are reals. strtod reads the locale's
    // decimal point; the program never changes the "C" locale it starts in.
    value = JsonValue(std::strtod(number.c_str(), nullptr));
    return true;
  }

  using Kind = JsonValue::Kind;
  std::string_view text_;
  size_t at_ = 0;
  std::string why_;
};

int ParseJson(std::string_view text, JsonValue& value, std::string& error) {
  JsonValue parsed;
  JsonParser parser(text);
  if (parser.Parse(parsed, error) != 0) return -1;
  value = std::move(parsed);
  return 0;
}

}  // namespace orv

// JSON values for what the program hands to scripts and reads back: the console's --json
// output and the command trace, one JSON object per line. Objects keep their members in the
// order they were added, so an output's field order is stable and documented. Strings are
// UTF-8; text of the program (CP932) is converted before it goes in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orv {

class JsonValue {
 public:
  enum class Kind : uint8_t { kNull, kBool, kInteger, kReal, kString, kArray, kObject };

  JsonValue() = default;
  JsonValue(bool value) : kind_(Kind::kBool), bool_(value) {}
  JsonValue(int value) { SetSigned(value); }
  JsonValue(long value) { SetSigned(value); }
  JsonValue(long long value) { SetSigned(value); }
  JsonValue(unsigned value) { SetUnsigned(value); }
  JsonValue(unsigned long value) { SetUnsigned(value); }
  JsonValue(unsigned long long value) { SetUnsigned(value); }
  JsonValue(double value) : kind_(Kind::kReal), real_(value) {}
  JsonValue(std::string value) : kind_(Kind::kString), string_(std::move(value)) {}
  JsonValue(const char* value) : JsonValue(std::string(value)) {}
  JsonValue(std::string_view value) : JsonValue(std::string(value)) {}

  static JsonValue Array() { return JsonValue(Kind::kArray); }
  static JsonValue Object() { return JsonValue(Kind::kObject); }

  Kind GetKind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  bool IsBool() const { return kind_ == Kind::kBool; }
  bool IsInteger() const { return kind_ == Kind::kInteger; }
  bool IsString() const { return kind_ == Kind::kString; }
  bool IsArray() const { return kind_ == Kind::kArray; }
  bool IsObject() const { return kind_ == Kind::kObject; }

  bool Bool() const { return bool_; }
  // An integer that fits: the magnitude of a non-negative integer; false for anything else.
  bool Unsigned(uint64_t& value) const;
  bool Negative() const { return kind_ == Kind::kInteger && negative_; }
  // An integer's magnitude, of a negative one too.
  uint64_t Magnitude() const { return magnitude_; }
  double Real() const;
  const std::string& String() const { return string_; }

  // --- arrays
  JsonValue& Append(JsonValue value);
  size_t Size() const { return kind_ == Kind::kArray ? items_.size() : members_.size(); }
  const JsonValue& operator[](size_t index) const { return items_.at(index); }
  const std::vector<JsonValue>& Items() const { return items_; }

  // --- objects: Set adds a member at the end, or replaces the value of one of that name where it
  // stands; Find gives null when there is none.
  JsonValue& Set(std::string name, JsonValue value);
  const JsonValue* Find(std::string_view name) const;
  const std::vector<std::pair<std::string, JsonValue>>& Members() const { return members_; }

 private:
  explicit JsonValue(Kind kind) : kind_(kind) {}
  void SetSigned(long long value);
  void SetUnsigned(unsigned long long value);
  friend class JsonParser;

  Kind kind_ = Kind::kNull;
  bool bool_ = false;
  bool negative_ = false;   // kInteger: the value is -magnitude_
  uint64_t magnitude_ = 0;  // kInteger
  double real_ = 0;
  std::string string_;
  std::vector<JsonValue> items_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

// The value as JSON text: on one line without spaces (`indent` 0), or with members and items
// on lines of their own, `indent` spaces deeper per level. Bytes of a string that are not
// UTF-8 are written as U+FFFD, so the text is always valid JSON.
std::string WriteJson(const JsonValue& value, int indent = 0);

// Parses one JSON text (RFC 8259; surrounding white space allowed, nothing after it). 0, or -1
// with `error` saying what is wrong and at which byte. Nesting deeper than 64 levels is refused,
// so a hostile file cannot exhaust the stack.
int ParseJson(std::string_view text, JsonValue& value, std::string& error);

}  // namespace orv

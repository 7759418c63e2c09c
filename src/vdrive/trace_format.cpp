#include "vdrive/trace_format.h"

#include <limits>

#include "toolkit/hex_text.h"
#include "toolkit/json.h"
#include "toolkit/name_table.h"

namespace orv {

namespace {

constexpr const char* kFormatName = "trace";

constexpr CodeName<TraceOp> kOpNames[] = {
    {TraceOp::kOpen, "open"},
    {TraceOp::kClose, "close"},
    {TraceOp::kFileType, "file-type"},
    {TraceOp::kDriveType, "drive-type"},
    {TraceOp::kCandidates, "candidates"},
    {TraceOp::kGeometry, "geometry"},
    {TraceOp::kAddress, "address"},
    {TraceOp::kAdapterInquiry, "adapter-inquiry"},
    {TraceOp::kControl, "control"},
    {TraceOp::kPassThrough, "scsi"},
};

constexpr CodeName<DataDirection> kDirectionNames[] = {
    {DataDirection::kIn, "in"},
    {DataDirection::kOut, "out"},
    {DataDirection::kNone, "none"},
};

std::string DigestText(uint64_t digest) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(digest >> (56 - 8 * i));
  return HexText(bytes);
}

void SetOutcome(JsonValue& line, const TraceEvent& event) {
  line.Set("ok", event.ok);
  line.Set("error", event.error);
  line.Set("us", event.micros);
}

void SetPassThrough(JsonValue& line, const TraceEvent& e) {
  line.Set("form", e.direct ? "direct" : "buffered");
  if (e.malformed) {
    line.Set("malformed", true);
    SetOutcome(line, e);
    return;
  }
  JsonValue unit = JsonValue::Array();
  unit.Append(e.pathId);
  unit.Append(e.targetId);
  unit.Append(e.lun);
  line.Set("unit", std::move(unit));
  line.Set("cdb", HexText(e.cdb));
  line.Set("dir", LookUpName(kDirectionNames, e.direction));
  line.Set("length", e.length);
  line.Set("timeout", e.timeout);
  if (e.direction == DataDirection::kOut) line.Set("sent", e.sent ? JsonValue(HexText(*e.sent)) : JsonValue());
  SetOutcome(line, e);
  if (!e.ok) return;
  line.Set("status", e.status);
  line.Set("sense", HexText(e.sense));
  line.Set("moved", e.moved);
  if (e.direction != DataDirection::kIn) return;
  line.Set("received", e.receivedKept ? JsonValue(HexText(e.received)) : JsonValue());
  if (!e.receivedKept) line.Set("digest", DigestText(e.digest));
}

// ---- Reading: each getter leaves the default when the member is absent and fails (false,
// with `error` set) when it is present but of the wrong kind or range.

class Fields {
 public:
  Fields(const JsonValue& object, std::string& error) : object_(object), error_(error) {}

  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }
  bool Has(const char* name) const { return object_.Find(name) != nullptr; }

  template <typename T>
  bool Unsigned(const char* name, T& value, bool required = false) {
    const JsonValue* v = object_.Find(name);
    if (v == nullptr) return !required || Fail(std::string("\"") + name + "\" is missing");
    uint64_t n = 0;
    if (!v->Unsigned(n) || n > std::numeric_limits<T>::max())
      return Fail(std::string("\"") + name + "\" must be a whole number from 0 to " +
                  std::to_string(std::numeric_limits<T>::max()));
    value = static_cast<T>(n);
    return true;
  }

  bool Bool(const char* name, bool& value) {
    const JsonValue* v = object_.Find(name);
    if (v == nullptr) return true;
    if (!v->IsBool()) return Fail(std::string("\"") + name + "\" must be true or false");
    value = v->Bool();
    return true;
  }

  bool Text(const char* name, std::string& value, bool required = false) {
    const JsonValue* v = object_.Find(name);
    if (v == nullptr) return !required || Fail(std::string("\"") + name + "\" is missing");
    if (!v->IsString()) return Fail(std::string("\"") + name + "\" must be a string");
    value = v->String();
    return true;
  }

  bool Hex(const char* name, std::vector<uint8_t>& value, bool required = false) {
    const JsonValue* v = object_.Find(name);
    if (v == nullptr) return !required || Fail(std::string("\"") + name + "\" is missing");
    if (!v->IsString() || !ParseHexText(v->String(), value))
      return Fail(std::string("\"") + name + "\" must be hex digits, two per byte");
    return true;
  }

  // Null stands for "left out".
  bool OptionalHex(const char* name, std::optional<std::vector<uint8_t>>& value) {
    const JsonValue* v = object_.Find(name);
    if (v == nullptr || v->IsNull()) {
      value.reset();
      return true;
    }
    std::vector<uint8_t> bytes;
    if (!Hex(name, bytes)) return false;
    value = std::move(bytes);
    return true;
  }

  const JsonValue* Find(const char* name) const { return object_.Find(name); }

 private:
  const JsonValue& object_;
  std::string& error_;
};

bool ReadPassThrough(Fields& f, TraceEvent& e) {
  std::string form = "buffered";
  if (!f.Text("form", form)) return false;
  if (form != "buffered" && form != "direct") return f.Fail("\"form\" must be \"buffered\" or \"direct\"");
  e.direct = form == "direct";
  if (!f.Bool("malformed", e.malformed)) return false;
  if (e.malformed) return true;
  if (const JsonValue* unit = f.Find("unit")) {
    uint64_t part[3] = {};
    if (!unit->IsArray() || unit->Size() != 3 || !(*unit)[0].Unsigned(part[0]) || !(*unit)[1].Unsigned(part[1]) ||
        !(*unit)[2].Unsigned(part[2]) || part[0] > 255 || part[1] > 255 || part[2] > 255)
      return f.Fail("\"unit\" must be [path id, target id, LUN], each 0 to 255");
    e.pathId = static_cast<uint8_t>(part[0]);
    e.targetId = static_cast<uint8_t>(part[1]);
    e.lun = static_cast<uint8_t>(part[2]);
  }
  if (!f.Hex("cdb", e.cdb, true)) return false;
  if (e.cdb.empty() || e.cdb.size() > 16) return f.Fail("\"cdb\" must hold 1 to 16 bytes");
  std::string dir;
  if (!f.Text("dir", dir, true)) return false;
  bool known = false;
  for (const auto& row : kDirectionNames) {
    if (dir == row.name) e.direction = row.code, known = true;
  }
  if (!known) return f.Fail("\"dir\" must be \"in\", \"out\" or \"none\"");
  const JsonValue* receivedData = f.Find("received");
  e.receivedKept = receivedData == nullptr || !receivedData->IsNull();
  if (!e.receivedKept) {
    std::vector<uint8_t> digest;
    if (!f.Hex("digest", digest)) return false;
    if (f.Has("digest") && digest.size() != 8) return f.Fail("\"digest\" must hold 8 bytes");
    for (uint8_t b : digest) e.digest = e.digest << 8 | b;
  }
  if (!f.OptionalHex("sent", e.sent) || !f.Hex("sense", e.sense) || (e.receivedKept && !f.Hex("received", e.received)) ||
      !f.Unsigned("timeout", e.timeout) || !f.Unsigned("status", e.status))
    return false;
  if (e.sense.size() > 255) return f.Fail("\"sense\" holds more than 255 bytes");
  if (e.direction != DataDirection::kIn && (!e.received.empty() || !e.receivedKept))
    return f.Fail("\"received\" with a \"dir\" other than \"in\"");
  if (e.direction != DataDirection::kOut && e.sent) return f.Fail("\"sent\" with a \"dir\" other than \"out\"");
  if (e.received.size() > std::numeric_limits<uint32_t>::max()) return f.Fail("\"received\" is too long");
  const auto received = static_cast<uint32_t>(e.received.size());
  const uint32_t sent = e.sent ? static_cast<uint32_t>(e.sent->size()) : 0;
  e.length = e.direction == DataDirection::kIn ? received : sent;
  if (!f.Unsigned("length", e.length)) return false;
  if (e.direction == DataDirection::kNone && e.length != 0) return f.Fail("\"length\" must be 0 when \"dir\" is \"none\"");
  if (e.direction != DataDirection::kNone && e.length == 0) return f.Fail("\"length\" must not be 0 when data moves");
  e.moved = e.direction == DataDirection::kIn && e.receivedKept ? received : e.length;
  if (!f.Unsigned("moved", e.moved)) return false;
  if (e.moved > e.length) return f.Fail("\"moved\" is more than \"length\"");
  if (e.direction == DataDirection::kIn && e.receivedKept && e.ok && e.moved != received)
    return f.Fail("\"moved\" says " + std::to_string(e.moved) + " bytes, \"received\" holds " +
                  std::to_string(received));
  return true;
}

bool ReadCandidates(Fields& f, TraceEvent& e) {
  const JsonValue* drives = f.Find("drives");
  if (drives == nullptr) return true;
  if (!drives->IsArray()) return f.Fail("\"drives\" must be a list");
  for (const JsonValue& drive : drives->Items()) {
    const JsonValue* letter = drive.IsObject() ? drive.Find("letter") : nullptr;
    const JsonValue* path = drive.IsObject() ? drive.Find("path") : nullptr;
    if (letter == nullptr || path == nullptr || !letter->IsString() || !path->IsString() ||
        letter->String().size() != 1)
      return f.Fail("each of \"drives\" must be {\"letter\": one letter, \"path\": text}");
    e.candidates.push_back({letter->String()[0], path->String()});
  }
  return true;
}

}  // namespace

uint64_t TraceDigest(const uint8_t* data, size_t length) {
  uint64_t hash = 0xCBF29CE484222325;  // the FNV-1a offset basis and prime
  for (size_t i = 0; i < length; ++i) hash = (hash ^ data[i]) * 0x100000001B3;
  return hash;
}

std::string TraceHeaderLine(const TraceHeader& header) {
  JsonValue line = JsonValue::Object();
  line.Set("orvane", kFormatName);
  line.Set("version", header.version);
  line.Set("os", header.os);
  line.Set("writeData", header.writeData);
  return WriteJson(line);
}

std::string TraceEventLine(const TraceEvent& e) {
  JsonValue line = JsonValue::Object();
  line.Set("n", e.number);
  line.Set("op", LookUpName(kOpNames, e.op));
  switch (e.op) {
    case TraceOp::kOpen:
      line.Set("path", e.path);
      line.Set("flags", e.value);
      SetOutcome(line, e);
      break;
    case TraceOp::kClose:
      line.Set("path", e.path);
      SetOutcome(line, e);
      break;
    case TraceOp::kFileType:
    case TraceOp::kDriveType:
      line.Set(e.op == TraceOp::kDriveType ? "root" : "path", e.path);
      SetOutcome(line, e);
      line.Set("answer", e.value);
      break;
    case TraceOp::kCandidates: {
      JsonValue drives = JsonValue::Array();
      for (const TraceCandidate& c : e.candidates) {
        JsonValue drive = JsonValue::Object();
        drive.Set("letter", std::string(1, c.letter));
        drive.Set("path", c.path);
        drives.Append(std::move(drive));
      }
      line.Set("drives", std::move(drives));
      line.Set("us", e.micros);
      break;
    }
    case TraceOp::kGeometry:
    case TraceOp::kAddress:
    case TraceOp::kAdapterInquiry:
    case TraceOp::kControl:
      line.Set("path", e.path);
      if (e.op == TraceOp::kControl) {
        line.Set("code", e.value);
        line.Set("sent", e.sent ? JsonValue(HexText(*e.sent)) : JsonValue());
      }
      SetOutcome(line, e);
      if (e.ok) line.Set("answer", HexText(e.answer));
      break;
    case TraceOp::kPassThrough:
      line.Set("path", e.path);
      SetPassThrough(line, e);
      break;
  }
  return WriteJson(line);
}

int ParseTraceHeader(std::string_view text, TraceHeader& header, std::string& error) {
  JsonValue line;
  if (ParseJson(text, line, error) != 0) return -1;
  const JsonValue* name = line.IsObject() ? line.Find("orvane") : nullptr;
  if (name == nullptr || !name->IsString() || name->String() != kFormatName) {
    error = "not a trace of this program (its first line must be {\"orvane\":\"trace\",...})";
    return -1;
  }
  TraceHeader parsed;
  Fields f(line, error);
  if (!f.Unsigned("version", parsed.version, true) || !f.Text("os", parsed.os) || !f.Bool("writeData", parsed.writeData))
    return -1;
  if (parsed.version < 1 || parsed.version > kTraceVersion) {
    error = "trace version " + std::to_string(parsed.version) + " is not known here (this program reads versions 1 to " +
            std::to_string(kTraceVersion) + ")";
    return -1;
  }
  header = std::move(parsed);
  return 0;
}

int ParseTraceEvent(std::string_view text, TraceEvent& event, std::string& error) {
  JsonValue line;
  if (ParseJson(text, line, error) != 0) return -1;
  if (!line.IsObject()) {
    error = "an event must be a JSON object";
    return -1;
  }
  Fields f(line, error);
  TraceEvent e;
  std::string op;
  if (!f.Text("op", op, true)) return -1;
  bool known = false;
  for (const auto& row : kOpNames) {
    if (op == row.name) e.op = row.code, known = true;
  }
  if (!known) {
    error = "unknown \"op\" \"" + op + "\"";
    return -1;
  }
  if (!f.Unsigned("n", e.number) || !f.Bool("ok", e.ok) || !f.Unsigned("error", e.error) || !f.Unsigned("us", e.micros))
    return -1;
  bool read = true;
  switch (e.op) {
    case TraceOp::kOpen:
      read = f.Text("path", e.path, true) && f.Unsigned("flags", e.value);
      break;
    case TraceOp::kClose:
      read = f.Text("path", e.path, true);
      break;
    case TraceOp::kFileType:
      read = f.Text("path", e.path, true) && f.Unsigned("answer", e.value, true);
      break;
    case TraceOp::kDriveType:
      read = f.Text("root", e.path, true) && f.Unsigned("answer", e.value, true);
      break;
    case TraceOp::kCandidates:
      read = ReadCandidates(f, e);
      break;
    case TraceOp::kGeometry:
    case TraceOp::kAddress:
    case TraceOp::kAdapterInquiry:
    case TraceOp::kControl:
      read = f.Text("path", e.path, true) && f.Hex("answer", e.answer, e.ok) &&
             (e.op != TraceOp::kControl || (f.Unsigned("code", e.value, true) && f.OptionalHex("sent", e.sent)));
      break;
    case TraceOp::kPassThrough:
      read = f.Text("path", e.path, true) && ReadPassThrough(f, e);
      break;
  }
  if (!read) return -1;
  event = std::move(e);
  return 0;
}

}  // namespace orv

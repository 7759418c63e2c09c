// --json of scan, summary and info: valid JSON whose fields carry the values the text shows,
// null where the drive has nothing (no disc). The schemas are checked by json_schema_check.py.
#include <gtest/gtest.h>

#include <sstream>
#include "app/cli/cli_run.h"
#include "toolkit/json.h"

namespace orv {
namespace {

// The value at a path of member names and array indexes ("drives.0.size"), as text: numbers in
// digits, strings in quotes, arrays as [size], "missing" where the path leads nowhere.
std::string At(const JsonValue& root, const std::string& path) {
  const JsonValue* value = &root;
  std::istringstream parts(path);
  for (std::string part; value != nullptr && std::getline(parts, part, '.');) {
    if (part.find_first_not_of("0123456789") != std::string::npos) {
      value = value->Find(part);
    } else {
      const size_t index = std::stoul(part);
      value = value->IsArray() && index < value->Size() ? &(*value)[index] : nullptr;
    }
  }
  uint64_t n = 0;
  if (value == nullptr) return "missing";
  if (value->IsNull()) return "null";
  if (value->IsBool()) return value->Bool() ? "true" : "false";
  if (value->IsString()) return "\"" + value->String() + "\"";
  if (value->IsArray()) return "[" + std::to_string(value->Size()) + "]";
  return value->Unsigned(n) ? std::to_string(n) : "?";
}

TEST(JsonOutput, FieldsCarryTheDrivesValues) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> fields;  // path, value
  } cases[] = {
      {{"scan", "--json"},
       {{"drives", "[3]"}, {"drives.0.name", "\"E:\""}, {"drives.0.vendor", "\"ORVANE\""},
        {"drives.0.product", "\"VIRTUAL DVD-RAM\""}, {"drives.0.deviceType", "5"}, {"drives.0.removable", "true"},
        {"drives.0.blockCount", "2295104"}, {"drives.0.bytes", "4700372992"}, {"drives.0.size", "\"4.7G\""},
        {"drives.1.blockCount", "null"}, {"drives.1.blockLength", "null"}, {"drives.1.bytes", "null"},
        {"drives.1.size", "null"}, {"drives.2.blockLength", "512"}}},
      {{"summary", "E:", "--json"},
       {{"partitions", "[1]"}, {"partitions.0.type", "12"}, {"partitions.0.typeName", "\"FAT32 LBA\""},
        {"partitions.0.start", "63"}, {"partitions.0.sectors", "2295041"}, {"partitions.0.bootable", "false"}}},
      {{"summary", "F:", "--json"}, {{"partitions", "null"}, {"unused", "null"}}},
      {{"info", "E:", "--json"},
       {{"capacity.bytes", "4700372992"}, {"geometry.bytesPerSector", "2048"}, {"sections", "[35]"},
        {"sections.0.title", "\"Capacity/Geometory\""}, {"sections.0.level", "0"}, {"sections.2.level", "1"}}},
      {{"info", "E:", "--json", "--list"}, {{"sections", "[35]"}, {"sections.0.text", "missing"}}},
      {{"info", "E:", "--json", "--section", "2"}, {{"sections", "[1]"}, {"sections.0.number", "2"}}},
      {{"info", "F:", "--json"}, {{"capacity", "null"}}},
  };
  for (const auto& c : cases) {
    const std::string what = ::testing::PrintToString(c.args);
    std::vector<std::string> args = {"--virtual-only", "--virtual", "E=dvdram,F=nodisc,G=hdd"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::CliOutcome run = test::RunCliIn(test::CaseDir("json"), args);
    EXPECT_EQ(run.code, 0) << what << ": " << run.err;
    JsonValue json;
    std::string error;
    ASSERT_EQ(ParseJson(run.out, json, error), 0) << what << ": " << error << "\n" << run.out;
    for (const auto& [path, value] : c.fields) EXPECT_EQ(At(json, path), value) << what << " " << path;
  }
}

}  // namespace
}  // namespace orv

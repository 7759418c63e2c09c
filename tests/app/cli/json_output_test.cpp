// --json of scan, summary and info: valid JSON whose fields carry the values the text shows,
// null where the drive has nothing (no disc), and text output left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/cli_run.h"
#include "toolkit/json.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

JsonValue RunJson(std::vector<std::string> args, int expectedCode = 0) {
  const fs::path dir = test::CaseDir("json");
  std::vector<std::string> all = {"--virtual-only", "--virtual", "E=dvdram,F=nodisc,G=hdd"};
  all.insert(all.end(), args.begin(), args.end());
  const test::CliOutcome run = test::RunCliIn(dir, all);
  EXPECT_EQ(run.code, expectedCode) << run.err;
  JsonValue value;
  std::string error;
  EXPECT_EQ(ParseJson(run.out, value, error), 0) << error << "\n" << run.out;
  fs::remove_all(dir);
  return value;
}

uint64_t Number(const JsonValue* value) {
  uint64_t n = 0;
  EXPECT_TRUE(value != nullptr && value->Unsigned(n));
  return n;
}

std::string Text(const JsonValue* value) { return value != nullptr && value->IsString() ? value->String() : "?"; }

TEST(JsonOutput, ScanListsEveryDriveWithItsCapacityOrNull) {
  const JsonValue scan = RunJson({"scan", "--json"});
  const JsonValue* drives = scan.Find("drives");
  ASSERT_TRUE(drives != nullptr && drives->IsArray());
  ASSERT_EQ(drives->Size(), 3u);
  const JsonValue& e = (*drives)[0];
  EXPECT_EQ(Text(e.Find("name")), "E:");
  EXPECT_EQ(Text(e.Find("vendor")), "ORVANE");
  EXPECT_EQ(Text(e.Find("product")), "VIRTUAL DVD-RAM") << "the INQUIRY field without its padding";
  EXPECT_EQ(Number(e.Find("deviceType")), 5u);
  EXPECT_TRUE(e.Find("removable")->Bool());
  EXPECT_EQ(Number(e.Find("blockCount")), 2295104u);
  EXPECT_EQ(Number(e.Find("bytes")), 2295104ull * 2048);
  EXPECT_EQ(Text(e.Find("size")), "4.7G");
  for (const char* field : {"blockCount", "blockLength", "bytes", "size"})
    EXPECT_TRUE((*drives)[1].Find(field)->IsNull()) << field << ": the drive without a disc";
  EXPECT_EQ(Number((*drives)[2].Find("blockLength")), 512u);
}

TEST(JsonOutput, SummaryHasThePartitionsOrNullWithoutADisc) {
  const JsonValue summary = RunJson({"summary", "E:", "--json"});
  const JsonValue* partitions = summary.Find("partitions");
  ASSERT_TRUE(partitions != nullptr && partitions->IsArray());
  ASSERT_EQ(partitions->Size(), 1u);
  const JsonValue& p = (*partitions)[0];
  EXPECT_EQ(Number(p.Find("number")), 1u);
  EXPECT_EQ(Number(p.Find("type")), 0x0Cu);
  EXPECT_EQ(Text(p.Find("typeName")), "FAT32 LBA");
  EXPECT_EQ(Number(p.Find("start")), 63u);
  EXPECT_EQ(Number(p.Find("sectors")), 2295041u);
  EXPECT_FALSE(p.Find("bootable")->Bool());

  const JsonValue empty = RunJson({"summary", "F:", "--json"});
  EXPECT_TRUE(empty.Find("partitions")->IsNull());
  EXPECT_TRUE(empty.Find("unused")->IsNull());
}

TEST(JsonOutput, InfoGivesTheDecodedFieldsAndTheSectionsAsTheListNumbersThem) {
  const JsonValue info = RunJson({"info", "E:", "--json"});
  EXPECT_EQ(Number(info.Find("capacity")->Find("blockCount")), 2295104u);
  EXPECT_EQ(Number(info.Find("capacity")->Find("bytes")), 2295104ull * 2048);
  EXPECT_EQ(Number(info.Find("geometry")->Find("bytesPerSector")), 2048u);
  const JsonValue* sections = info.Find("sections");
  ASSERT_TRUE(sections != nullptr && sections->Size() > 2);
  EXPECT_EQ(Text((*sections)[0].Find("title")), "Capacity/Geometory");
  EXPECT_EQ(Number((*sections)[0].Find("level")), 0u);
  EXPECT_EQ(Number((*sections)[2].Find("level")), 1u) << "a mode page under Mode Parameter";
  EXPECT_NE(Text((*sections)[0].Find("text")).find("2,295,104"), std::string::npos);

  const JsonValue list = RunJson({"info", "E:", "--json", "--list"});
  EXPECT_EQ(list.Find("sections")->Size(), sections->Size());
  EXPECT_EQ((*list.Find("sections"))[0].Find("text"), nullptr) << "--list: titles only";
  const JsonValue one = RunJson({"info", "E:", "--json", "--section", "2"});
  ASSERT_EQ(one.Find("sections")->Size(), 1u);
  EXPECT_EQ(Number((*one.Find("sections"))[0].Find("number")), 2u);

  const JsonValue noDisc = RunJson({"info", "F:", "--json"});
  EXPECT_TRUE(noDisc.Find("capacity")->IsNull());
}

}  // namespace
}  // namespace orv

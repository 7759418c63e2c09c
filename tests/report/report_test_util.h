// Helpers shared by the report tests: expected lines, and the golden files of expected texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "report/report.h"
#include "toolkit/sjis.h"

namespace orv::test {

// The lines joined the way a section text holds them, each ended by CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// A byte vector of `size` zeros with `bytes` written from `offset`.
inline std::vector<uint8_t> Placed(size_t size, size_t offset, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> buffer(size, 0);
  for (size_t i = 0; i < bytes.size() && offset + i < size; ++i) buffer[offset + i] = bytes[i];
  return buffer;
}

// Every section of a report as the golden files hold it: a line "-- kind.subKind title", then
// the section text; UTF-8, as the files are.
inline std::string Rendered(const DriveReport& report) {
  std::string text;
  for (size_t row = 0; row < report.RowCount(); ++row) {
    const ReportSection& s = report.Row(row);
    text += "-- " + std::to_string(s.kind) + "." + std::to_string(s.subKind) + " " + s.title + "\r\n" + s.text;
  }
  return SjisToUtf8(text);
}

// A golden file (copied beside the test executable, where the tests run): the whole text. With
// ORVANE_UPDATE_GOLDEN=1 the file in the source tree is first written afresh from `actual`:
// read the difference before committing it.
inline std::string Golden(const std::string& name, const std::string& actual) {
  const char* source = std::getenv("ORVANE_SOURCE_DIR");
  if (std::getenv("ORVANE_UPDATE_GOLDEN") != nullptr && source != nullptr) {
    std::ofstream(std::string(source) + "/tests/report/golden/" + name, std::ios::binary) << actual;
    return actual;
  }
  std::ifstream file("golden/" + name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Named texts (CR LF lines) against a golden file of them: each starts with a line "== name"
// and its lines follow, written there with LF. The file holds exactly the named cases.
using NamedTexts = std::vector<std::pair<std::string, std::string>>;
inline void ExpectGoldenCases(const std::string& name, const NamedTexts& actual) {
  std::string file;
  for (const auto& [caseName, text] : actual) {
    file += "== " + caseName + "\n";
    for (size_t at = 0, end; at < text.size(); at = end + 2) {
      end = text.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << caseName << ": a line without CR LF";
      file += text.substr(at, end - at) + "\n";
    }
  }
  std::map<std::string, std::string> expected;
  std::istringstream in(Golden(name, file));
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("== ", 0) == 0) {
      current = line.substr(3);
      expected[current];
    } else if (!current.empty()) {
      expected[current] += line + "\r\n";
    }
  }
  EXPECT_EQ(expected.size(), actual.size()) << name;
  for (const auto& [caseName, text] : actual) {
    ASSERT_EQ(expected.count(caseName), 1u) << name << ": no case " << caseName;
    EXPECT_EQ(text, expected.at(caseName)) << name << ": " << caseName;
  }
}

}  // namespace orv::test

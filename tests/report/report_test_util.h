// Helpers shared by the report tests: expected lines, and the golden files of expected texts.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
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
// ORVANE_UPDATE_GOLDEN=1 the file in the source tree (`folder`, from the top of the tree) is
// first written afresh from `actual`: read the difference before committing it.
inline std::string Golden(const std::string& name, const std::string& actual,
                          const std::string& folder = "tests/report/golden") {
  const char* source = std::getenv("ORVANE_SOURCE_DIR");
  if (std::getenv("ORVANE_UPDATE_GOLDEN") != nullptr && source != nullptr) {
    std::ofstream(std::string(source) + "/" + folder + "/" + name, std::ios::binary) << actual;
    return actual;
  }
  std::ifstream file("golden/" + name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Named texts (CR LF lines) against a golden file of them, which holds each as a line "== name"
// followed by its lines, written there with LF.
using NamedTexts = std::vector<std::pair<std::string, std::string>>;
inline void ExpectGoldenCases(const std::string& name, const NamedTexts& texts) {
  const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
  };
  std::string actual;
  for (const auto& [caseName, text] : texts) actual += "== " + caseName + "\r\n" + text;
  const std::string expected = replaced(Golden(name, replaced(actual, "\r\n", "\n")), "\n", "\r\n");
  const size_t differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first - actual.begin();
  const size_t caseAt = actual.empty() ? 0 : actual.rfind("== ", differ);
  EXPECT_EQ(actual, expected) << name << ", case " << actual.substr(caseAt, actual.find('\r', caseAt) - caseAt);
}

}  // namespace orv::test

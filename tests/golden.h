// Golden files: expected texts kept beside the tests (each folder's golden/ is copied beside its
// test executables, where the tests run). A change of a golden file is read in its diff.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace orv::test {

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
inline void ExpectGoldenCases(const std::string& name, const NamedTexts& texts,
                              const std::string& folder = "tests/report/golden") {
  const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
  };
  std::string actual;
  for (const auto& [caseName, text] : texts) actual += "== " + caseName + "\r\n" + text;
  const std::string expected = replaced(Golden(name, replaced(actual, "\r\n", "\n"), folder), "\n", "\r\n");
  const size_t differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first - actual.begin();
  const size_t caseAt = actual.empty() ? 0 : actual.rfind("== ", differ);
  EXPECT_EQ(actual, expected) << name << ", case " << actual.substr(caseAt, actual.find('\r', caseAt) - caseAt);
}

}  // namespace orv::test

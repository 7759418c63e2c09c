// Helpers shared by the report tests: expected text is written as one string per line.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "report/report.h"

namespace orv::test {

// The lines joined the way a section text holds them, each ended by CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The section titles of a report in row order.
inline std::vector<std::string> Titles(const DriveReport& report) {
  std::vector<std::string> titles;
  for (size_t row = 0; row < report.RowCount(); ++row) titles.push_back(report.RowTitle(row));
  return titles;
}

// A byte vector of `size` zeros with `bytes` written from `offset`.
inline std::vector<uint8_t> Placed(size_t size, size_t offset, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> buffer(size, 0);
  for (size_t i = 0; i < bytes.size() && offset + i < size; ++i) buffer[offset + i] = bytes[i];
  return buffer;
}

// A golden file (copied beside the test executable, where the tests run): the whole text.
inline std::string Golden(const std::string& name) {
  std::ifstream file("golden/" + name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A golden file of named texts: each starts with a line "== name"; its lines follow, written
// with LF and returned with the CR LF of section texts.
inline std::map<std::string, std::string> GoldenSections(const std::string& name) {
  std::map<std::string, std::string> sections;
  std::istringstream in(Golden(name));
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("== ", 0) == 0) {
      current = line.substr(3);
      sections[current];
    } else if (!current.empty()) {
      sections[current] += line + "\r\n";
    }
  }
  return sections;
}

}  // namespace orv::test

// Helpers shared by the report tests: expected text is written as one string per line.
#pragma once

#include <cstdint>
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

}  // namespace orv::test

// Helpers shared by the report tests: expected lines, and the golden files of expected texts.
#pragma once

#include <gtest/gtest.h>

#include "golden.h"
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

}  // namespace orv::test

// Runs the console front end in-process, as a user runs it, and keeps what it printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"

namespace orv::test {

struct CliOutcome {
  int code = -1;
  std::string out;  // UTF-8, LF line ends
  std::string err;
};

// An empty folder of the running case's own, under the build's test files: CTest runs the cases
// of one executable at once, and the tests of two builds may run side by side.
inline std::filesystem::path CaseDir(const std::string& prefix) {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path dir =
      (binary != nullptr ? std::filesystem::path(binary) / "test-files"
                         : std::filesystem::temp_directory_path() / "orvane-test-files") /
      (prefix + "-" + test->test_suite_name() + "." + test->name());
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir);
  return dir;
}

// Everything written to a stream, which is then closed.
inline std::string DrainStream(std::FILE* file) {
  std::string text;
  char buffer[4096];
  std::rewind(file);
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

// `args` without the program name; the two streams go through files in `dir`, which must exist.
inline CliOutcome RunCliIn(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  std::FILE* out = std::fopen((dir / "cli-out.txt").string().c_str(), "w+b");
  std::FILE* err = std::fopen((dir / "cli-err.txt").string().c_str(), "w+b");
  CliOutcome run;
  if (out == nullptr || err == nullptr) return run;
  {
    CliSession session(out, err, nullptr);
    run.code = RunCli(args, session);
  }
  run.out = DrainStream(out);
  run.err = DrainStream(err);
  return run;
}

}  // namespace orv::test

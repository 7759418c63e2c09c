// Runs the console front end in-process, as a user runs it, and keeps what it printed.
#pragma once

#include <cstdio>
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

// Runs the console front end in-process, as a user runs it, and keeps what it printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"
#include "golden.h"

namespace orv::test {

struct CliOutcome {
  int code = -1;
  std::string out, err;  // UTF-8, LF line ends
};

// An empty folder of the running case's own (cases and builds run side by side).
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

// `args` without the program name, the streams through files in `dir`; `prepare` sets up the session.
inline CliOutcome RunCliIn(const std::filesystem::path& dir, const std::vector<std::string>& args,
                           const std::function<void(CliSession&)>& prepare = {}) {
  std::FILE* out = std::fopen((dir / "cli-out.txt").string().c_str(), "w+b");
  std::FILE* err = std::fopen((dir / "cli-err.txt").string().c_str(), "w+b");
  CliOutcome run;
  if (out == nullptr || err == nullptr) return run;
  {
    CliSession session(out, err, nullptr);
    if (prepare) prepare(session);
    run.code = RunCli(args, session);
  }
  run.out = DrainStream(out);
  run.err = DrainStream(err);
  return run;
}

// Console outputs (LF line ends) as the named cases of golden/NAME beside the test.
inline void ExpectGoldenOutputs(const std::string& name, NamedTexts texts) {
  for (auto& [caseName, text] : texts) {
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    text = crlf;
  }
  ExpectGoldenCases(name, texts, "tests/app/cli/golden");
}

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A case's own folder and the console run in it, on the virtual drives alone (the computer's own
// never reach the output), a DVD-RAM drive E: over disc.img in the folder among them.
class CliCase : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = CaseDir("cli"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  CliOutcome Exec(const std::vector<std::string>& args) { return RunCliIn(dir_, args); }
  CliOutcome On(const std::string& drives, std::vector<std::string> args) {
    args.insert(args.begin(), {"--virtual-only", "--virtual", drives});
    return Exec(args);
  }
  // `faults` as the drive list writes them after the image (":bad=300+5").
  CliOutcome OnDisc(std::vector<std::string> args, const std::string& faults = "") {
    return On("E=dvdram:" + Disc().string() + faults, std::move(args));
  }
  std::filesystem::path Disc() const { return dir_ / "disc.img"; }

  std::filesystem::path dir_;
};

}  // namespace orv::test

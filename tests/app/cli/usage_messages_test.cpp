// Messages of the console front end outside the image tools that once said something other
// than what happened: a negative section number, and a real path under --virtual-only.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"

namespace orv {
namespace {

std::string ErrorsOf(const std::vector<std::string>& args, int* code) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  {
    CliSession session(out, err, nullptr);
    *code = RunCli(args, session);
  }
  std::string text;
  std::rewind(err);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0) text.append(buffer, n);
  std::fclose(out);
  std::fclose(err);
  return text;
}

// A device that exists on every system of its kind.
#ifdef _WIN32
constexpr const char* kExistingDevice = "NUL";
#else
constexpr const char* kExistingDevice = "/dev/null";
#endif

TEST(UsageMessages, SayWhatHappened) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--virtual-only", "--virtual", "E=dvdram", "info", "E:", "--section", "-1"},
       "--section: Value -1 not in range 1 to 999\n"},
      {{"--virtual-only", "--virtual", "E=dvdram", "info", "E:", "--section", "0"},
       "--section: Value 0 not in range 1 to 999\n"},
      {{"--virtual-only", "summary", kExistingDevice},
       std::string("orvane-cli: cannot open drive ") + kExistingDevice + ": --virtual-only opens only the virtual drives\n"},
  };
  for (const Case& c : cases) {
    int code = -1;
    const std::string err = ErrorsOf(c.args, &code);
    EXPECT_EQ(code, 1) << c.err;
    EXPECT_EQ(err.substr(0, c.err.size()), c.err);
  }
}

}  // namespace
}  // namespace orv

// Messages of the console front end outside the image tools that once said something other
// than what happened: a negative section number, and a real path under --virtual-only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/cli_run.h"

namespace orv {
namespace {

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
    const test::CliOutcome run = test::RunCliIn(std::filesystem::temp_directory_path(), c.args);
    EXPECT_EQ(run.code, 1) << c.err;
    EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
  }
}

}  // namespace
}  // namespace orv

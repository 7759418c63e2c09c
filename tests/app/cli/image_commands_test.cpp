// The console image tools run in-process through the front end, as a user runs them: their
// output (UTF-8, LF line ends), their exit codes and the files they leave.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/cli_app.h"
#include "image/image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

// Paths of the system's temporary folder: under Wine a Windows path, which the console's option
// parser never takes for a "/option".
class ImageCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvane-image-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ovi_ = dir_ / "backup.ovi";
    raw_ = dir_ / "disc.img";
    // A 1 MiB disc of 512 sectors of 2048 bytes: text at the start, binaries at the end.
    disc_ = TextCorpus(512 * 2048, 31);
    const Bytes tail = BinaryCorpus(64 * 2048, 32);
    std::copy(tail.begin(), tail.end(), disc_.end() - static_cast<std::ptrdiff_t>(tail.size()));
    WriteWholeFile(raw_, disc_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Exec(const std::vector<std::string>& args) {
    std::FILE* out = std::fopen((dir_ / "out.txt").string().c_str(), "w+b");
    std::FILE* err = std::fopen((dir_ / "err.txt").string().c_str(), "w+b");
    Outcome run;
    {
      CliSession session(out, err, nullptr);
      run.code = RunCli(args, session);
    }
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    return run;
  }
  Outcome Create(const std::vector<std::string>& runs, const std::string& sectorSize = "2048") {
    std::vector<std::string> args = {"image", "create", ovi_.string(), "--from", raw_.string(), "--sector-size",
                                     sectorSize};
    for (const std::string& run : runs) args.insert(args.end(), {"--run", run});
    return Exec(args);
  }
  Outcome List() { return Exec({"image", "list", ovi_.string()}); }
  Outcome Verify() { return Exec({"image", "verify", ovi_.string()}); }
  Outcome Extract() { return Exec({"image", "extract", ovi_.string(), (dir_ / "out.img").string()}); }

  fs::path dir_, ovi_, raw_;
  Bytes disc_;
};

TEST_F(ImageCommands, CreateListVerifyExtractRoundTrip) {
  ASSERT_EQ(Create({"0:64", "448:64"}).code, 0);
  const Outcome list = List();
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("    1             0       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("    2           448       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("2 blocks"), std::string::npos);

  const Outcome verify = Verify();
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_NE(verify.out.find("2 blocks, 0 bad"), std::string::npos) << verify.out;

  EXPECT_EQ(Extract().code, 0);
  Bytes expected(512 * 2048, 0);  // sparse: only the runs are written
  std::copy(disc_.begin(), disc_.begin() + 64 * 2048, expected.begin());
  std::copy(disc_.end() - 64 * 2048, disc_.end(), expected.end() - 64 * 2048);
  EXPECT_TRUE(ReadWholeFile(dir_ / "out.img") == expected);
}

TEST_F(ImageCommands, VerifyNamesTheBadBlockAndBytesAfterTheLast) {
  ASSERT_EQ(Create({"0:64", "100:10", "448:64"}).code, 0);
  Bytes file = ReadWholeFile(ovi_);
  file[60 + GetLe64(&file[12]) + 60 + 5] ^= 0x20;  // inside block 2's stream
  WriteWholeFile(ovi_, file);
  const Outcome verify = Verify();
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.out.find("block 1 (sector 0, 131072 bytes): good"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("block 2 (sector 100, 20480 bytes): BAD"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("block 3 (sector 448, 131072 bytes): good"), std::string::npos) << verify.out;
  EXPECT_EQ(Extract().code, 1);

  ASSERT_EQ(Create({"0:4"}).code, 0);
  file = ReadWholeFile(ovi_);
  file.insert(file.end(), {'J', 'U', 'N', 'K'});
  WriteWholeFile(ovi_, file);
  EXPECT_EQ(Verify().code, 1);
  EXPECT_NE(Verify().out.find("4 bytes follow the last block"), std::string::npos);
}

TEST_F(ImageCommands, RefusesBadRunsAndMissingFiles) {
  for (const char* run : {"500:13", "512:1", "18446744073709551615:2"}) {
    EXPECT_EQ(Create({"0:1", run}).code, 1) << run;
    EXPECT_FALSE(fs::exists(ovi_)) << run;
  }
  EXPECT_EQ(Create({"0:1"}, "0").code, 1);
  EXPECT_EQ(List().code, 1);
  EXPECT_EQ(Verify().code, 1);
  EXPECT_EQ(Extract().code, 1);
}

TEST_F(ImageCommands, SubcommandsParseTheirOptions) {
  const std::string ovi = ovi_.string(), raw = raw_.string();
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"image", "create", ovi, "--from", raw, "--run", "0:16", "--run", "100:8"}, 0},
      {{"image", "list", ovi}, 0},
      {{"image", "verify", ovi}, 0},
      {{"image", "create", ovi, "--from", raw, "--run", "16"}, 1},
      {{"image", "create", ovi, "--from", raw, "--run", "4:0"}, 1},
      {{"image", "create", ovi, "--from", raw}, 1},
      {{"image", "create", ovi, "--from", raw, "--sector-size", "512", "--run", "0:2048"}, 0},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(args[1] + " " + args.back());
    EXPECT_EQ(Exec(args).code, expected);
  }
}

}  // namespace
}  // namespace orv::test

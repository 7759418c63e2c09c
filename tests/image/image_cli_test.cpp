#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <sstream>

#include "app/cli/image_commands.h"
#include "image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

struct Output {
  int code = -1;
  std::string out;
};

class ImageCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("image-cli");
    ovi_ = dir_ / "backup.ovi";
    // A 1 MiB disc of 512 sectors of 2048 bytes: text at the start, binaries at the end.
    disc_ = TextCorpus(512 * 2048, 31);
    const Bytes tail = BinaryCorpus(64 * 2048, 32);
    std::copy(tail.begin(), tail.end(), disc_.end() - static_cast<std::ptrdiff_t>(tail.size()));
    WriteWholeFile(dir_ / "disc.img", disc_);
  }
  template <typename F>
  Output Run(F command) {
    std::ostringstream out, err;
    const int code = command(out, err);
    return {code, out.str()};
  }
  Output Create(const std::vector<SectorRun>& runs, uint32_t sectorSize = 2048) {
    return Run([&](auto& out, auto& err) { return ImageCreate(ovi_, dir_ / "disc.img", sectorSize, runs, out, err); });
  }
  Output List() { return Run([&](auto& out, auto& err) { return ImageList(ovi_, out, err); }); }
  Output Verify() { return Run([&](auto& out, auto& err) { return ImageVerify(ovi_, out, err); }); }
  Output Extract() { return Run([&](auto& out, auto& err) { return ImageExtract(ovi_, dir_ / "out.img", out, err); }); }
  std::filesystem::path dir_, ovi_;
  Bytes disc_;
};

TEST_F(ImageCliTest, CreateListVerifyExtractRoundTrip) {
  ASSERT_EQ(Create({{0, 64}, {448, 64}}).code, 0);
  const Output list = List();
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("    1             0       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("    2           448       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("2 blocks"), std::string::npos);

  const Output verify = Verify();
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_NE(verify.out.find("2 blocks, 0 bad"), std::string::npos) << verify.out;

  EXPECT_EQ(Extract().code, 0);
  Bytes expected(512 * 2048, 0);  // sparse: only the runs are written
  std::copy(disc_.begin(), disc_.begin() + 64 * 2048, expected.begin());
  std::copy(disc_.end() - 64 * 2048, disc_.end(), expected.end() - 64 * 2048);
  EXPECT_TRUE(ReadWholeFile(dir_ / "out.img") == expected);
}

TEST_F(ImageCliTest, VerifyNamesTheBadBlockAndBytesAfterTheLast) {
  ASSERT_EQ(Create({{0, 64}, {100, 10}, {448, 64}}).code, 0);
  Bytes file = ReadWholeFile(ovi_);
  file[60 + GetLe64(&file[12]) + 60 + 5] ^= 0x20;  // inside block 2's stream
  WriteWholeFile(ovi_, file);
  const Output verify = Verify();
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.out.find("block 1 (sector 0, 131072 bytes): good"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("block 2 (sector 100, 20480 bytes): BAD"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("block 3 (sector 448, 131072 bytes): good"), std::string::npos) << verify.out;
  EXPECT_EQ(Extract().code, 1);

  ASSERT_EQ(Create({{0, 4}}).code, 0);
  file = ReadWholeFile(ovi_);
  file.insert(file.end(), {'J', 'U', 'N', 'K'});
  WriteWholeFile(ovi_, file);
  EXPECT_EQ(Verify().code, 1);
  EXPECT_NE(Verify().out.find("4 bytes follow the last block"), std::string::npos);
}

TEST_F(ImageCliTest, RefusesBadRunsAndMissingFiles) {
  for (const SectorRun& run : {SectorRun{500, 13}, SectorRun{512, 1}, SectorRun{~0ull, 2}}) {
    EXPECT_EQ(Create({{0, 1}, run}).code, 1);
    EXPECT_FALSE(std::filesystem::exists(ovi_));
  }
  EXPECT_EQ(Create({{0, 1}}, 0).code, 1);
  EXPECT_EQ(Create({}).code, 1);
  EXPECT_EQ(List().code, 1);
  EXPECT_EQ(Verify().code, 1);
  EXPECT_EQ(Extract().code, 1);
}

TEST_F(ImageCliTest, SubcommandsParseTheirOptions) {
  const std::string ovi = ovi_.string(), raw = (dir_ / "disc.img").string();
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"image", "create", ovi, "--from", raw, "--run", "0:16", "--run", "100:8"}, 0},
      {{"image", "list", ovi}, 0},
      {{"image", "verify", ovi}, 0},
      {{"image", "create", ovi, "--from", raw, "--run", "16"}, 1},
      {{"image", "create", ovi, "--from", raw, "--run", "4:0"}, 1},
      {{"image", "create", ovi, "--from", raw, "--sector-size", "512", "--run", "0:2048"}, 0},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(args[1] + " " + args.back());
    CLI::App app;
    app.allow_windows_style_options(false);  // "/work/..." is a path even under Wine
    int exitCode = -1;
    AddImageCommands(app, exitCode);
    ASSERT_NO_THROW(app.parse(std::vector<std::string>(args.rbegin(), args.rend())));
    EXPECT_EQ(exitCode, expected);
  }
}

}  // namespace
}  // namespace orv::test

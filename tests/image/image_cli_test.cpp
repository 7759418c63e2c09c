#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <sstream>

#include "app/cli/image_commands.h"
#include "image_test_support.h"

namespace orv::test {
namespace {

struct Output {
  int code = -1;
  std::string out;
  std::string err;
};

class ImageCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("image-cli");
    // A 1 MiB disc of 512 sectors of 2048 bytes: text at the start, binaries at the end.
    disc_ = TextCorpus(512 * 2048, 31);
    const Bytes tail = BinaryCorpus(64 * 2048, 32);
    std::copy(tail.begin(), tail.end(), disc_.end() - static_cast<std::ptrdiff_t>(tail.size()));
    WriteWholeFile(dir_ / "disc.img", disc_);
  }
  Output Create(const std::vector<SectorRun>& runs, uint32_t sectorSize = 2048) {
    Output o;
    std::ostringstream out, err;
    o.code = ImageCreate(dir_ / "backup.ovi", dir_ / "disc.img", sectorSize, runs, out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
  }
  template <typename F>
  Output Run(F command) {
    Output o;
    std::ostringstream out, err;
    o.code = command(out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
  }
  std::filesystem::path dir_;
  Bytes disc_;
};

TEST_F(ImageCliTest, CreateListVerifyExtractRoundTrip) {
  ASSERT_EQ(Create({{0, 64}, {448, 64}}).code, 0);
  const Output list = Run([&](auto& out, auto& err) { return ImageList(dir_ / "backup.ovi", out, err); });
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("    1             0       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("    2           448       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("2 blocks"), std::string::npos);

  const Output verify = Run([&](auto& out, auto& err) { return ImageVerify(dir_ / "backup.ovi", out, err); });
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_NE(verify.out.find("2 blocks, 0 bad"), std::string::npos) << verify.out;

  const Output extract =
      Run([&](auto& out, auto& err) { return ImageExtract(dir_ / "backup.ovi", dir_ / "out.img", out, err); });
  EXPECT_EQ(extract.code, 0) << extract.out;
  const Bytes raw = ReadWholeFile(dir_ / "out.img");
  ASSERT_EQ(raw.size(), 512u * 2048);
  Bytes expected(512 * 2048, 0);
  std::copy(disc_.begin(), disc_.begin() + 64 * 2048, expected.begin());
  std::copy(disc_.end() - 64 * 2048, disc_.end(), expected.end() - 64 * 2048);
  EXPECT_TRUE(raw == expected);
}

TEST_F(ImageCliTest, VerifyNamesTheBadBlock) {
  ASSERT_EQ(Create({{0, 64}, {100, 10}, {448, 64}}).code, 0);
  Bytes file = ReadWholeFile(dir_ / "backup.ovi");
  const uint64_t stored = file[12] | uint64_t{file[13]} << 8 | uint64_t{file[14]} << 16;
  const size_t second = 60 + stored;
  file[second + 60 + 5] ^= 0x20;  // inside block 2's stream
  WriteWholeFile(dir_ / "backup.ovi", file);
  const Output verify = Run([&](auto& out, auto& err) { return ImageVerify(dir_ / "backup.ovi", out, err); });
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.out.find("block 1 (sector 0, 131072 bytes): good"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("block 2 (sector 100, 20480 bytes): BAD"), std::string::npos) << verify.out;
  EXPECT_NE(verify.out.find("block 3 (sector 448, 131072 bytes): good"), std::string::npos) << verify.out;

  const Output extract =
      Run([&](auto& out, auto& err) { return ImageExtract(dir_ / "backup.ovi", dir_ / "out.img", out, err); });
  EXPECT_EQ(extract.code, 1);
}

TEST_F(ImageCliTest, VerifyNoticesBytesAfterTheLastBlock) {
  ASSERT_EQ(Create({{0, 4}}).code, 0);
  Bytes file = ReadWholeFile(dir_ / "backup.ovi");
  file.insert(file.end(), {'J', 'U', 'N', 'K'});
  WriteWholeFile(dir_ / "backup.ovi", file);
  const Output verify = Run([&](auto& out, auto& err) { return ImageVerify(dir_ / "backup.ovi", out, err); });
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.out.find("4 bytes follow the last block"), std::string::npos) << verify.out;
}

TEST_F(ImageCliTest, CreateRefusesRunsOutsideTheRawImage) {
  for (const SectorRun& run : {SectorRun{500, 13}, SectorRun{512, 1}, SectorRun{~0ull, 2}}) {
    const Output o = Create({{0, 1}, run});
    EXPECT_EQ(o.code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "backup.ovi"));
  }
  EXPECT_EQ(Create({{0, 1}}, 0).code, 1);
  EXPECT_EQ(Create({}).code, 1);
}

TEST_F(ImageCliTest, MissingFilesAreReported) {
  const auto missing = dir_ / "missing.ovi";
  EXPECT_EQ(Run([&](auto& out, auto& err) { return ImageList(missing, out, err); }).code, 1);
  EXPECT_EQ(Run([&](auto& out, auto& err) { return ImageVerify(missing, out, err); }).code, 1);
  EXPECT_EQ(Run([&](auto& out, auto& err) { return ImageExtract(missing, dir_ / "x.img", out, err); }).code, 1);
}

TEST_F(ImageCliTest, SubcommandsParseTheirOptions) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  };
  const std::string ovi = (dir_ / "cli.ovi").string();
  const std::string raw = (dir_ / "disc.img").string();
  const Case cases[] = {
      {{"image", "create", ovi, "--from", raw, "--run", "0:16", "--run", "100:8"}, 0},
      {{"image", "list", ovi}, 0},
      {{"image", "verify", ovi}, 0},
      {{"image", "create", ovi, "--from", raw, "--run", "16"}, 1},
      {{"image", "create", ovi, "--from", raw, "--run", "4:0"}, 1},
      {{"image", "create", ovi, "--from", raw, "--sector-size", "512", "--run", "0:2048"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args.back());
    CLI::App app;
    // The test files have Unix paths even under Wine: "/work/..." is no Windows-style option.
    app.allow_windows_style_options(false);
    int exitCode = -1;
    AddImageCommands(app, exitCode);
    std::vector<std::string> reversed(c.args.rbegin(), c.args.rend());
    ASSERT_NO_THROW(app.parse(reversed));
    EXPECT_EQ(exitCode, c.exitCode);
  }
}

}  // namespace
}  // namespace orv::test

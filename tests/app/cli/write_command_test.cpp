// `orvane-cli write` in-process on a file-backed virtual DVD-RAM; the expected box texts are the
// program's CP932 literals, converted as the console converts them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/cli_run.h"
#include "image/image_test_support.h"
#include "toolkit/console_ui.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSector = 2048;
constexpr uint64_t kDiscSectors = 1000;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class WriteCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = CaseDir("cli-write");
    disc_ = dir_ / "disc.img";
    original_ = TextCorpus(kDiscSectors * kSector, 21);
    WriteWholeFile(disc_, original_);
  }

  CliOutcome Run(std::vector<std::string> args) {
    std::vector<std::string> all = {"--virtual-only", "--virtual", "E=dvdram:" + disc_.string()};
    all.insert(all.end(), args.begin(), args.end());
    return RunCliIn(dir_, all);
  }

  // The erase's backup of the disc (head 0-63, tail 936-999), then the erase itself.
  fs::path BackUpAndErase() {
    const fs::path backup = dir_ / "backup.ovi";
    const CliOutcome made = RunCliIn(dir_, {"image", "create", backup.string(), "--from", disc_.string(), "--run",
                                            "0:64", "--run", "936:64"});
    EXPECT_EQ(made.code, 0) << made.err;
    Bytes erased = original_;
    std::fill(erased.begin(), erased.begin() + 64 * kSector, 0);
    std::fill(erased.begin() + 936 * kSector, erased.end(), 0);
    WriteWholeFile(disc_, erased);
    return backup;
  }

  fs::path dir_;
  fs::path disc_;
  Bytes original_;
};

// Saved under a name other than .ovi, the backup still goes back to its sectors (written from
// sector 0 on it would overwrite the head with its own headers), and the confirmation says so.
TEST_F(WriteCommandTest, BackupGoesBackWithYes) {
  const struct {
    const char* name;
    bool verify;
    const char* note;
  } cases[] = {
      {"backup.ovi", false, ""},
      {"backup.ovi", true, ""},
      {"backup.img", false, "\n※ このファイルはイメージ ブロック形式のため、各ブロックをヘッダのセクタへ書き込みます。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.verify ? " with --verify" : ""));
    const fs::path backup = dir_ / c.name;
    if (const fs::path made = BackUpAndErase(); made != backup) fs::rename(made, backup);
    std::vector<std::string> args = {"write", "E:", backup.string(), "--yes"};
    if (c.verify) args.push_back("--verify");
    const CliOutcome run = Run(args);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, c.verify ? "Wrote 128 of 128 sectors, read back and compared.\n" : "Wrote 128 of 128 sectors.\n");
    EXPECT_TRUE(ReadWholeFile(disc_) == original_);
    // The confirmation as the user reads it, answered from the command line, then the final box.
    EXPECT_TRUE(Has(run.err, ConsoleText("[確認] ORVANE   VIRTUAL DVD-RAM  1.01\n\nファイル: ") + backup.string() +
                                 ConsoleText(std::string("\n\n書き込みを開始しますか？\n※ 書き込み先のディスクは、指定ファ"
                                                         "イルで上書きされ元には戻りません。") + c.note +
                                             "\n> y (given on the command line)\n")))
        << run.err;
    EXPECT_TRUE(Has(run.err, ConsoleText("[Orvane - DVD-RAM Utility] 書き込み完了しました。\n\n所要時間："))) << run.err;
  }
}

TEST_F(WriteCommandTest, WithoutYesAndWithoutATerminalNothingIsWritten) {
  const fs::path backup = BackUpAndErase();
  const Bytes erased = ReadWholeFile(disc_);
  const CliOutcome run = Run({"write", "E:", backup.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run.err, "> n (no terminal to ask at)\n")) << run.err;
  EXPECT_TRUE(Has(run.err, "orvane-cli: nothing written: the write was not confirmed (no terminal to ask at; --yes "
                           "confirms it)\n"))
      << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(ReadWholeFile(disc_) == erased);
}

TEST_F(WriteCommandTest, RefusedImagesEndWithTheBoxAndExitCodeOne) {
  const struct {
    const char* name;
    Bytes file;
    const char* fileName;
    const char* shown;
    const char* map = nullptr;  // the backup map beside the file
  } cases[] = {
      {"damaged container", Concat({Header(60, 4, 4, 0, "-nocomp-"), {1, 2, 3}}), "cut.ovi",
       "[エラー] イメージ情報の取得に失敗しました。\n"},
      // Whole blocks without the closing byte, and a map that does not say "complete".
      {"unfinished backup", Concat({Header(60, 4, 4, 0, "-nocomp-"), {1, 2, 3, 4}}), "stopped.ovi",
       "[エラー] イメージ情報の取得に失敗しました。\n\n※ このファイルは途中で止まったディスクのバックアップです。\n",
       "sectors 1000 size 2048\n0 1 done\n1 999 not-tried\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir_ / c.fileName;
    WriteWholeFile(file, c.file);
    if (c.map) WriteWholeFile(fs::path(file) += ".map", Bytes(c.map, c.map + std::strlen(c.map)));
    const CliOutcome run = Run({"write", "E:", file.string(), "--yes"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Has(run.err, ConsoleText(c.shown))) << run.err;
    if (c.map) {
      EXPECT_TRUE(Has(run.err, "is an unfinished backup: resume the backup")) << run.err;
      const CliOutcome verify = RunCliIn(dir_, {"image", "verify", file.string()});
      EXPECT_TRUE(Has(verify.out, "says the backup is unfinished: resume the backup")) << verify.out;
      const CliOutcome compare = Run({"compare", "E:", file.string()});
      EXPECT_TRUE(Has(compare.err, "the backup is unfinished (its map says so): resume the backup")) << compare.err;
    }
    EXPECT_FALSE(Has(run.err, ConsoleText("書き込みを開始しますか"))) << "asked before refusing";
    EXPECT_FALSE(Has(run.err, ConsoleText("書き込み完了しました。")));
    EXPECT_TRUE(ReadWholeFile(disc_) == original_);
  }
}

// A drive named without its colon; the count of sectors written, the last one partly filled.
TEST_F(WriteCommandTest, RawImageCountsItsSectors) {
  const Bytes image = TextCorpus(5000, 3);
  const fs::path file = dir_ / "small.img";
  WriteWholeFile(file, image);
  const CliOutcome run = Run({"write", "e", file.string(), "--yes"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Wrote 3 of 3 sectors.\n");
}

}  // namespace
}  // namespace orv::test

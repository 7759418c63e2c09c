// `orvane-cli erase` in-process on a virtual drive over a raw image file: the options' answers,
// the exit codes, the disc and the backup afterwards.
#include "app/cli/erase_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "app/cli/answering_ui.h"
#include "cli_run.h"
#include "image/image_check.h"
#include "image/image_test_support.h"
#include "operations/erase_rig.h"
#include "operations/erase_with_backup.h"
#include "toolkit/sjis.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kSectors = 300;

class EraseCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = CaseDir("erase-cli");
    WriteWholeFile(Disc(), RandomCorpus(kSectors * 2048, 11));
    before_ = ReadWholeFile(Disc());
  }
  fs::path Disc() const { return dir_ / "disc.img"; }
  fs::path Backup() const { return dir_ / "backup.ovi"; }
  CliOutcome Erase(std::vector<std::string> options) {
    std::vector<std::string> args = {"--virtual-only", "--virtual", "E=dvdram:" + Disc().string(), "erase", "E:"};
    args.insert(args.end(), options.begin(), options.end());
    return RunCliIn(dir_, args);
  }
  // The disc as it was with the erase regions zeroed.
  Bytes Erased() const {
    Bytes disc = before_;
    for (const EraseRegion& r : EraseRegionsOf(kSectors, 2048))
      std::fill_n(disc.begin() + static_cast<ptrdiff_t>(r.firstSector * 2048), r.sectorCount * 2048, uint8_t{0});
    return disc;
  }

  fs::path dir_;
  Bytes before_;
};

TEST_F(EraseCli, BackupAndYesEraseWithAVerifiedBackupAndExitZero) {
  const CliOutcome run = Erase({"--backup", Backup().string(), "--yes"});
  EXPECT_EQ(run.code, 0) << run.err;
  // The questions in order, each answered by its option, then the final box.
  const size_t save = run.err.find(SjisToUtf8("消去内容をファイルに保存しますか？"));
  const size_t choice = run.err.find(SjisToUtf8("消去情報の保存 > ") + Backup().string() + " (given on the command line)");
  const size_t confirm = run.err.find(SjisToUtf8("ORVANE   VIRTUAL DVD-RAM  1.01\n\n本当に消去しますか？"));
  const size_t done = run.err.find(SjisToUtf8("消去完了しました。\n※ いったんディスクを取り出すか再起動しないと、"));
  EXPECT_LT(save, choice) << run.err;
  EXPECT_LT(choice, confirm) << run.err;
  EXPECT_LT(confirm, done) << run.err;
  EXPECT_NE(done, std::string::npos) << run.err;
  EXPECT_TRUE(ReadWholeFile(Disc()) == Erased());
  ImageCheck check;
  ASSERT_EQ(CheckImage(Backup(), CheckDepth::kData, check), 0);
  EXPECT_TRUE(check.Good());
  ASSERT_EQ(check.blocks.size(), 2u);
  EXPECT_EQ(check.blocks[1].block.header.firstSector, kSectors - 64);
}

// Without a terminal nobody can answer: unless the options answer both the save question and
// the confirmation, the erase refuses before it opens the drive.
TEST_F(EraseCli, WithoutATerminalItRefusesUnlessTheAnswersAreGiven) {
  const std::vector<std::string> cases[] = {{}, {"--yes"}, {"--backup", "x.ovi"}, {"--no-backup"}, {"--shared"}};
  for (const auto& options : cases) {
    SCOPED_TRACE(::testing::PrintToString(options));
    const CliOutcome run = Erase(options);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
              "orvane-cli: erase asks before it destroys anything, and standard input is not a terminal to ask at: "
              "give --backup FILE (or --no-backup) and --yes; nothing was erased\n");
    EXPECT_TRUE(ReadWholeFile(Disc()) == before_);
  }
  EXPECT_EQ(Erase({"--backup", "b.ovi", "--no-backup", "--yes"}).code, kExitUsage);  // one answer or the other
}

TEST_F(EraseCli, AFailedBackupExitsOneWithTheDiscUntouched) {
  const fs::path nowhere = dir_ / "no-such-folder" / "b.ovi";
  const CliOutcome run = Erase({"--backup", nowhere.string(), "--yes"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("orvane-cli: the backup could not be made: nothing was erased, no backup was left\n"),
            std::string::npos)
      << run.err;
  // Nothing was erased: no line says the disc is being erased, none says to eject it.
  EXPECT_EQ(run.err.find(SjisToUtf8("ディスクを消去しています。")), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(SjisToUtf8("取り出す")), std::string::npos) << run.err;
  EXPECT_TRUE(ReadWholeFile(Disc()) == before_);
}

// An existing file under the --backup name is replaced only with --overwrite: without a terminal
// nobody can be asked. A disc the drive reports write-protected is refused.
TEST_F(EraseCli, NothingIsErasedUnlessTheBackupPathAndTheDiscAllowIt) {
  const std::string overwrite = "orvane-cli: nothing was erased (" + Backup().string() + " exists: --overwrite replaces it)";
  const struct {
    const char* preset;
    std::vector<std::string> options;
    int code;
    std::string errorLine;  // empty: the erase went through
  } cases[] = {
      {"dvdram", {}, 1, overwrite},
      {"dvdram", {"--overwrite"}, 0, ""},
      {"dvdrom", {"--overwrite"}, 1, "orvane-cli: the medium is write-protected: nothing was erased"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.preset) + ::testing::PrintToString(c.options));
    WriteWholeFile(Disc(), before_);
    WriteWholeFile(Backup(), Bytes{4, 4, 4});
    std::vector<std::string> args = {"--virtual-only", "--virtual", std::string("E=") + c.preset + ":" + Disc().string(),
                                     "erase", "E:", "--backup", Backup().string(), "--yes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliOutcome run = RunCliIn(dir_, args);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_NE(run.err.find(c.errorLine + "\n"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadWholeFile(Disc()) == (c.code == 0 ? Erased() : before_));
    EXPECT_EQ(ReadWholeFile(Backup()) == (Bytes{4, 4, 4}), c.code != 0);
  }
}

// Ctrl-C or SIGTERM on the console while the backup is made (here: once written, before it is
// read back) stops the erase: the disc as it was, the temporary gone, no backup.
TEST(EraseAnswers, ASignalBeforeTheFirstZeroStopsTheEraseCleanly) {
  const fs::path dir = TempDir("erase-cli-signal");
  for (int signal : {SIGINT, SIGTERM}) {
    EraseRig rig(dir / "disc.img", 100, 2048);
    const Bytes before = rig.Disc();
    std::FILE* err = std::tmpfile();
    ConsoleUi console(err, nullptr);
    AnsweringUi ui(console, err, false);
    RegisterEraseAnswers(ui, {dir / "backup.ovi", false, true});
    EraseOptions options;
    options.beforeReadBack = [signal](const fs::path&) { std::raise(signal); };
    EraseReport report;
    EraseWithBackup(ui, rig.List(), rig.Record(), options, &report);
    EXPECT_EQ(report.end, EraseEnd::kInterrupted) << signal;
    EXPECT_TRUE(rig.Disc() == before) << signal;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << signal;  // the disc alone
    EXPECT_NE(DrainStream(err).find(ConsoleText("処理を中断しました。")), std::string::npos) << signal;
  }
}

}  // namespace
}  // namespace orv::test

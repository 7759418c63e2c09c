// `orvane-cli erase` run in-process on a virtual drive whose disc is a raw image file: the
// answers the options give, the refusal without a terminal, the exit codes, the disc and the
// backup afterwards.
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

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

class EraseCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("erase-cli-" + TestName());
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

TEST_F(EraseCli, NoBackupAndYesEraseWithoutAFile) {
  const CliOutcome run = Erase({"--no-backup", "--yes"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("> n (given on the command line)"), std::string::npos) << run.err;
  EXPECT_TRUE(ReadWholeFile(Disc()) == Erased());
  EXPECT_FALSE(fs::exists(Backup()));
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
  EXPECT_NE(run.err.find(SjisToUtf8("ファイルを開くことができません。\n  ") + nowhere.string()), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("orvane-cli: the backup could not be made: nothing was erased, no backup was left\n"),
            std::string::npos)
      << run.err;
  // Nothing was erased: no line says the disc is being erased, none says to eject it.
  EXPECT_EQ(run.err.find(SjisToUtf8("ディスクを消去しています。")), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(SjisToUtf8("取り出す")), std::string::npos) << run.err;
  EXPECT_TRUE(ReadWholeFile(Disc()) == before_);
}

// An existing file under the --backup name is replaced only with --overwrite (without a terminal
// nobody can be asked); a backup path that is the disc itself is refused by any name.
TEST_F(EraseCli, ABackupPathIsUsedOnlyWhenItHarmsNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> options;  // after --backup PATH
    std::string path;                  // relative to the test's folder
    int code;
    const char* errorLine;             // the last line on the error stream
  };
  const Case cases[] = {
      {"an existing file without --overwrite", {"--yes"}, "backup.ovi", 1, "nothing was erased (%s exists: --overwrite replaces it)"},
      {"an existing file with --overwrite", {"--yes", "--overwrite"}, "backup.ovi", 0, nullptr},
      {"the disc's image by another path", {"--yes", "--overwrite"}, "sub/../disc.img", 1,
       "the backup cannot go there: nothing was read or erased"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(Disc(), before_);
    WriteWholeFile(Backup(), Bytes{4, 4, 4});
    fs::create_directories(dir_ / "sub");
    const fs::path path = dir_ / c.path;
    std::vector<std::string> options = {"--backup", path.string()};
    options.insert(options.end(), c.options.begin(), c.options.end());
    const CliOutcome run = Erase(options);
    EXPECT_EQ(run.code, c.code) << run.err;
    if (c.errorLine) {
      char line[512];
      std::snprintf(line, sizeof line, c.errorLine, path.string().c_str());
      EXPECT_NE(run.err.find("orvane-cli: " + std::string(line) + "\n"), std::string::npos) << run.err;
      EXPECT_TRUE(ReadWholeFile(Disc()) == before_);
      EXPECT_EQ(ReadWholeFile(Backup()), (Bytes{4, 4, 4}));
    } else {
      EXPECT_TRUE(ReadWholeFile(Disc()) == Erased());
      ImageCheck check;
      ASSERT_EQ(CheckImage(Backup(), CheckDepth::kData, check), 0);
      EXPECT_TRUE(check.Good());
    }
  }
  EXPECT_EQ(Erase({"--no-backup", "--yes", "--overwrite"}).code, kExitUsage);
}

TEST_F(EraseCli, AWriteProtectedDiscIsRefused) {
  const std::vector<std::string> args = {"--virtual-only", "--virtual", "E=dvdrom:" + Disc().string(), "erase", "E:",
                                         "--no-backup", "--yes"};
  const CliOutcome run = RunCliIn(dir_, args);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(SjisToUtf8("書き込み先のディスクは書き込み禁止になっています。")), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("orvane-cli: the medium is write-protected: nothing was erased\n"), std::string::npos) << run.err;
  EXPECT_TRUE(ReadWholeFile(Disc()) == before_);
}

TEST(EraseOutcome, SaysWhetherTheDiscWasTouchedFromTheSectorsWritten) {
  EraseReport report;
  report.end = EraseEnd::kZeroFailed;
  report.backup = "b.ovi";
  EXPECT_EQ(EraseOutcomeLine(report), "the first write failed: nothing was erased; b.ovi holds what was there");
  report.zeroed = 65;
  EXPECT_EQ(EraseOutcomeLine(report), "the erase stopped part-way: 65 sectors of the disc are zeroed; b.ovi holds what was there");
}

TEST_F(EraseCli, HelpSaysWhatIsDestroyed) {
  const CliOutcome run = RunCliIn(dir_, {"erase", "--help"});
  EXPECT_EQ(run.code, 0);
  std::string help = run.out;
  std::replace(help.begin(), help.end(), '\n', ' ');
  help.erase(std::unique(help.begin(), help.end(), [](char a, char b) { return a == ' ' && b == ' '; }), help.end());
  EXPECT_NE(help.find("overwrite the first and the last 128 KiB of the disc in DRIVE with zeros"), std::string::npos)
      << run.out;
  EXPECT_NE(help.find("--backup"), std::string::npos);
  EXPECT_NE(help.find("--shared"), std::string::npos);
}

// The options' answers on the erase itself, with the drive held by another program: --shared
// lets it share the drive; without it the question gets No and nothing changes.
TEST(EraseAnswers, SharedOpensADriveInUseOnlyWhenGiven) {
  const fs::path dir = TempDir("erase-cli-shared");
  for (bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "--shared" : "no --shared");
    EraseRig rig(dir / "disc.img", 100, 2048);
    const Bytes before = rig.Disc();
    const PortHandle held = rig.HoldOpen(kOpenSharedReadWrite);
    std::FILE* err = std::tmpfile();
    ConsoleUi console(err, nullptr);
    AnsweringUi ui(console, err, false);
    EraseAnswers answers;
    answers.noBackup = true;
    answers.yes = true;
    answers.shared = shared;
    RegisterEraseAnswers(ui, answers);
    EraseReport report;
    EraseWithBackup(ui, rig.List(), rig.Record(), {}, &report);
    EXPECT_EQ(report.end, shared ? EraseEnd::kErased : EraseEnd::kNotOpened);
    EXPECT_EQ(rig.Disc() == before, !shared);
    rig.Release(held);
    std::fclose(err);
  }
}

// Ctrl-C or SIGTERM on the console while the backup is being made (here: once it is written,
// before it is read back) stops the erase: the disc as it was, the temporary gone, no backup.
TEST(EraseAnswers, ASignalBeforeTheFirstZeroStopsTheEraseCleanly) {
  const fs::path dir = TempDir("erase-cli-signal");
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    EraseRig rig(dir / "disc.img", 100, 2048);
    const Bytes before = rig.Disc();
    std::FILE* err = std::tmpfile();
    ConsoleUi console(err, nullptr);
    AnsweringUi ui(console, err, false);
    EraseAnswers answers;
    answers.backup = dir / "backup.ovi";
    answers.yes = true;
    RegisterEraseAnswers(ui, answers);
    EraseOptions options;
    options.beforeReadBack = [signal](const fs::path&) { std::raise(signal); };
    EraseReport report;
    EraseWithBackup(ui, rig.List(), rig.Record(), options, &report);
    EXPECT_EQ(report.end, EraseEnd::kInterrupted);
    EXPECT_TRUE(rig.Disc() == before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);  // the disc alone
    EXPECT_NE(DrainStream(err).find(ConsoleText("処理を中断しました。")), std::string::npos);
  }
}

}  // namespace
}  // namespace orv::test

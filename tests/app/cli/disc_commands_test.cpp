// erase, write, backup, compare in-process: answers from options, refusals, exit codes, disc and files after.
#include <gtest/gtest.h>

#include "app/cli/cli_run.h"
#include "image/image_test_support.h"
#include "toolkit/console_ui.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSector = 2048;

class DiscCommands : public CliCase {
 protected:
  void SetUp() override {
    CliCase::SetUp();
    original_ = TextCorpus(300 * kSector, 31);
    original_.resize(600 * kSector, 0);
    const Bytes noise = RandomCorpus(400 * kSector, 32);
    original_.insert(original_.end(), noise.begin(), noise.end());
    WriteWholeFile(Disc(), original_);
  }
  // The disc as the erase leaves it: sectors 0-63 and 936-999 zero.
  Bytes Erased() const {
    Bytes disc = original_;
    std::fill_n(disc.begin(), 64 * kSector, 0);
    std::fill(disc.end() - 64 * kSector, disc.end(), 0);
    return disc;
  }

  Bytes original_;
};

// The erase's backup, saved under a name other than .ovi too, goes back to its sectors (written
// from sector 0 on it would overwrite the head with its own headers), and the confirmation says so.
TEST_F(DiscCommands, EraseWithBackupAndYesThenTheWriteGivesTheDiscBack) {
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
    WriteWholeFile(Disc(), original_);
    const fs::path backup = dir_ / c.name;
    fs::remove(backup);
    const CliOutcome erase = OnDisc({"erase", "E:", "--backup", backup.string(), "--yes"});
    EXPECT_EQ(erase.code, 0) << erase.err;
    // The questions in order, each answered by its option, then the final box.
    size_t at = 0;
    for (const std::string& step : {ConsoleText("消去内容をファイルに保存しますか？"),
                                    ConsoleText("消去情報の保存 > ") + backup.string() + " (given on the command line)",
                                    ConsoleText("ORVANE   VIRTUAL DVD-RAM  1.01\n\n本当に消去しますか？"),
                                    ConsoleText("消去完了しました。\n※ いったんディスクを取り出すか再起動しないと、")}) {
      at = erase.err.find(step, at);
      EXPECT_NE(at, std::string::npos) << step << " in order in " << erase.err;
    }
    EXPECT_TRUE(ReadWholeFile(Disc()) == Erased());

    std::vector<std::string> args = {"write", "E:", backup.string(), "--yes"};
    if (c.verify) args.push_back("--verify");
    const CliOutcome run = OnDisc(args);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, std::string("Wrote 128 of 128 sectors") + (c.verify ? ", read back and compared" : "") + ".\n");
    EXPECT_TRUE(ReadWholeFile(Disc()) == original_);
    // The confirmation as the user reads it, answered from the command line, then the final box.
    EXPECT_TRUE(Has(run.err, ConsoleText("[確認] ORVANE   VIRTUAL DVD-RAM  1.01\n\nファイル: ") + backup.string() +
                                 ConsoleText(std::string("\n\n書き込みを開始しますか？\n※ 書き込み先のディスクは、指定ファ"
                                                         "イルで上書きされ元には戻りません。") + c.note +
                                             "\n> y (given on the command line)\n")))
        << run.err;
    EXPECT_TRUE(Has(run.err, ConsoleText("[Orvane - DVD-RAM Utility] 書き込み完了しました。\n\n所要時間："))) << run.err;
  }
}

// Without a terminal the options must answer the save question and the confirmation; an existing
// --backup file goes only with --overwrite; a write-protected disc or a failed backup stops it.
TEST_F(DiscCommands, NothingIsErasedUnlessTheAnswersTheBackupPathAndTheDiscAllowIt) {
  const std::string backup = (dir_ / "backup.ovi").string(), nowhere = (dir_ / "none" / "b.ovi").string();
  const std::string noTerminal =
      "orvane-cli: erase asks before it destroys anything, and standard input is not a terminal to ask at: "
      "give --backup FILE (or --no-backup) and --yes; nothing was erased";
  const struct {
    const char* preset;
    std::vector<std::string> options;
    int code;
    std::string errorLine;  // the last line (without a terminal the only one); empty: the erase went through
  } cases[] = {
      {"dvdram", {"--yes"}, 1, noTerminal},
      {"dvdram", {"--backup", "x.ovi"}, 1, noTerminal},
      {"dvdram", {"--backup", "b.ovi", "--no-backup", "--yes"}, kExitUsage, ""},
      {"dvdram", {"--backup", backup, "--yes"}, 1,
       "orvane-cli: nothing was erased (" + backup + " exists: --overwrite replaces it)"},
      {"dvdram", {"--backup", backup, "--yes", "--overwrite"}, 0, ""},
      {"dvdrom", {"--backup", backup, "--yes", "--overwrite"}, 1,
       "orvane-cli: the medium is write-protected: nothing was erased"},
      {"dvdram", {"--backup", nowhere, "--yes"}, 1,
       "orvane-cli: the backup could not be made: nothing was erased, no backup was left"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.preset) + ::testing::PrintToString(c.options));
    WriteWholeFile(Disc(), original_);
    WriteWholeFile(backup, Bytes{4, 4, 4});
    std::vector<std::string> args = {"erase", "E:"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliOutcome run = On(std::string("E=") + c.preset + ":" + Disc().string(), args);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_TRUE(Has(run.err, c.errorLine + "\n")) << run.err;
    if (c.errorLine == noTerminal) {
      EXPECT_EQ(run.err, c.errorLine + "\n");
    }
    EXPECT_TRUE(ReadWholeFile(Disc()) == (c.code == 0 ? Erased() : original_));
    EXPECT_EQ(ReadWholeFile(backup) == (Bytes{4, 4, 4}), c.code != 0);
    if (c.code != 0) {
      EXPECT_FALSE(Has(run.err, ConsoleText("ディスクを消去しています。"))) << run.err;
      EXPECT_FALSE(Has(run.err, ConsoleText("取り出す"))) << run.err;
    }
  }
}

// Refused before anything is written: an unconfirmed write (no terminal, no --yes); an unfinished
// backup (whole blocks without the closing byte, its map not "complete"), named so by verify and compare.
TEST_F(DiscCommands, RefusedWritesEndWithTheBoxAndExitCodeOne) {
  const fs::path small = dir_ / "small.img", stopped = dir_ / "stopped.ovi";
  WriteWholeFile(small, TextCorpus(5000, 3));
  WriteWholeFile(stopped, Concat({Header(60, 4, 4, 0, "-nocomp-"), {1, 2, 3, 4}}));
  const std::string map = "sectors 1000 size 2048\n0 1 done\n1 999 not-tried\n";
  WriteWholeFile(fs::path(stopped) += ".map", Bytes(map.begin(), map.end()));
  CliOutcome run = OnDisc({"write", "E:", small.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Has(run.err, "> n (no terminal to ask at)\norvane-cli: nothing written: the write was not confirmed "
                           "(no terminal to ask at; --yes confirms it)\n"))
      << run.err;
  run = OnDisc({"write", "E:", stopped.string(), "--yes"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Has(run.err, ConsoleText("[エラー] イメージ情報の取得に失敗しました。\n\n※ このファイルは途中で止まった"
                                       "ディスクのバックアップです。\n"))) << run.err;
  EXPECT_TRUE(Has(run.err, "is an unfinished backup: resume the backup")) << run.err;
  EXPECT_FALSE(Has(run.err, ConsoleText("書き込みを開始しますか"))) << "asked before refusing";
  EXPECT_TRUE(ReadWholeFile(Disc()) == original_);
  const CliOutcome verify = Exec({"image", "verify", stopped.string()});
  EXPECT_TRUE(Has(verify.out, "says the backup is unfinished: resume the backup")) << verify.out;
  const CliOutcome compare = OnDisc({"compare", "E:", stopped.string()});
  EXPECT_TRUE(Has(compare.err, "the backup is unfinished (its map says so): resume the backup")) << compare.err;
}

// Bad sectors (only those) are named and left as they were by the write; compare names exactly the
// runs changed. A weak sector's 3 failing tries are recovered by the default 2 retries, 4 are not.
TEST_F(DiscCommands, BackupRoundTripReportsBadRunsAndComparesExactly) {
  const std::string scan = (dir_ / "scan.map").string();
  const std::string scanText =
      "sectors 1000 size 2048\n0 300 done\n300 5 bad\n305 395 done\n700 3 recovered\n703 97 done\n800 50 slow\n"
      "850 150 done\n";
  WriteWholeFile(scan, Bytes(scanText.begin(), scanText.end()));
  const struct {
    const char* name;
    const char* faults;
    std::vector<std::string> options;
    int code;
    std::vector<std::pair<uint64_t, uint64_t>> bad;  // first, count
    const char* out;
    int read;
  } cases[] = {
      {"slow and bad places read last", ":bad=300+5:weak=700+3+3", {"--surface-map", scan}, 1, {{300, 5}},
       "Bad sectors (first count):\n300 5\nBackup complete: 995 sectors read, 5 bad, 0 not tried.\n", 995},
      {"weak beyond the retries", ":weak=700+3+4:bad=999+1", {}, 1, {{700, 3}, {999, 1}},
       "Bad sectors (first count):\n700 3\n999 1\nBackup complete: 996 sectors read, 4 bad, 0 not tried.\n", 996},
      {"more retries", ":weak=700+3+4", {"--retries", "3"}, 0, {},
       "Backup complete: 1000 sectors read, 0 bad, 0 not tried.\n", 1000},
  };
  const Bytes other(1000 * kSector, 0xA5);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(Disc(), original_);
    const fs::path image = dir_ / (std::string(c.name) + ".ovi");
    std::vector<std::string> args = {"backup", "E:", image.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliOutcome backup = OnDisc(args, c.faults);
    EXPECT_EQ(backup.code, c.code) << backup.err;
    EXPECT_EQ(backup.out, c.out);

    WriteWholeFile(Disc(), other);
    ASSERT_EQ(OnDisc({"write", "E:", image.string(), "--yes"}).code, 0);
    Bytes expected = original_;
    for (const auto& [first, count] : c.bad)
      std::fill(expected.begin() + first * kSector, expected.begin() + (first + count) * kSector, 0xA5);
    EXPECT_TRUE(ReadWholeFile(Disc()) == expected);

    const std::string compared = std::to_string(c.read) + " sectors compared.\n";
    CliOutcome compare = OnDisc({"compare", "E:", image.string()});
    EXPECT_EQ(compare.code, 0) << compare.err;
    EXPECT_EQ(compare.out, "Equal: " + compared);
    Bytes flipped = ReadWholeFile(Disc());
    for (const uint64_t byte : {uint64_t{10 * kSector + 5}, uint64_t{450 * kSector}, uint64_t{451 * kSector + 2047},
                                uint64_t{998 * kSector + 1}})
      flipped[byte] ^= 0x01;
    WriteWholeFile(Disc(), flipped);
    compare = OnDisc({"compare", "E:", image.string()});
    EXPECT_EQ(compare.code, 1);
    EXPECT_EQ(compare.out, "Differing sectors (first count):\n10 1\n450 2\n998 1\nNot equal: " + compared);
  }
  // A raw image ending inside sector 300 is compared as the write leaves it: filled up with zeros.
  WriteWholeFile(Disc(), original_);
  const fs::path raw = dir_ / "part.img";
  WriteWholeFile(raw, Bytes(original_.begin(), original_.begin() + 300 * kSector + 100));
  const CliOutcome partial = OnDisc({"compare", "E:", raw.string()});
  EXPECT_EQ(partial.code, 0) << partial.out;
  EXPECT_EQ(partial.out, "Equal: 301 sectors compared.\n");
}

// Paths a backup must never write to or cut back: refused, the disc and the user's file unchanged.
TEST_F(DiscCommands, BackupRefusesFilesItMustNotWrite) {
  const std::string notTried = "sectors 1000 size 2048\n0 1000 not-tried\n";
  const Bytes userFile = TextCorpus(5000, 33);
  const struct {
    const char* name;
    const char* disc;  // the virtual drive's image file
    const char* file;  // the backup's FILE
    bool map;          // a map of the disc, not tried, beside FILE
    bool usersFile;    // FILE holds a user's file of other content
    std::vector<std::string> options;
    const char* message;
  } cases[] = {
      {"the disc's own image", "disc.img", "disc.img", false, false, {}, "disc.img is the file that holds the disc"},
      {"the map's name is the disc's image", "disc.map", "disc", false, false, {"--resume"},
       "disc.map is the file that holds the disc"},
      {"a user's file with a map beside it", "disc.img", "user.iso", true, true, {"--resume"},
       "user.iso does not start with an image block, so it is not the backup its map describes; nothing was changed"},
      {"resumed without a map", "disc.img", "new.ovi", false, false, {"--resume"}, "new.ovi.map to resume from"},
      {"a folder", "disc.img", ".", false, false, {}, "is a folder; the backup needs a file of its own"},
      {"an unreadable surface map", "disc.img", "new.ovi", false, false, {"--surface-map", "no.map"},
       "--surface-map no.map: cannot read the map"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const fs::path disc = dir_ / c.disc;
    WriteWholeFile(disc, original_);
    const fs::path file = dir_ / c.file;
    if (c.usersFile) WriteWholeFile(file, userFile);
    if (c.map) WriteWholeFile(fs::path(file) += ".map", Bytes(notTried.begin(), notTried.end()));
    std::vector<std::string> args = {"backup", "E:", file.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliOutcome run = On("E=dvdram:" + disc.string(), args);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Has(run.err, c.message)) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(ReadWholeFile(disc) == original_);
    if (c.usersFile) {
      EXPECT_TRUE(ReadWholeFile(file) == userFile);
    }
  }
}

}  // namespace
}  // namespace orv::test

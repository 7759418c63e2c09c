#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "toolkit/console_ui.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

std::string U8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

// A console with its answers in a file and its error stream captured in another.
class Console {
 public:
  explicit Console(const std::string& answers) {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const fs::path dir = fs::temp_directory_path();
    inPath_ = dir / ("orvane-console-in-" + name);
    errPath_ = dir / ("orvane-console-err-" + name);
    std::FILE* f = std::fopen(inPath_.string().c_str(), "wb");
    std::fwrite(answers.data(), 1, answers.size(), f);
    std::fclose(f);
    in_ = std::fopen(inPath_.string().c_str(), "rb");
    err_ = std::fopen(errPath_.string().c_str(), "w+b");
    ui = std::make_unique<ConsoleUi>(err_, in_);
  }
  ~Console() {
    ui.reset();
    std::fclose(in_);
    std::fclose(err_);
    fs::remove(inPath_);
    fs::remove(errPath_);
  }
  std::string Err() {
    std::fflush(err_);
    std::rewind(err_);
    std::string text;
    for (int c; (c = std::fgetc(err_)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }
  std::unique_ptr<ConsoleUi> ui;

 private:
  fs::path inPath_, errPath_;
  std::FILE* in_;
  std::FILE* err_;
};

TEST(ConsoleUi, OkBoxIsShownAndAnsweredWithoutInput) {
  Console console("n\n");
  EXPECT_EQ(console.ui->ShowBox({"書き込めません。\r\n", "エラー", 0x10, "※ディスクを確認してください", 0}), kIdOk);
  EXPECT_EQ(console.Err(), U8(u8"[エラー] 書き込めません。\n※ディスクを確認してください\n"));
}

TEST(ConsoleUi, QuestionsAreAnsweredOnTheInput) {
  struct Case {
    const char* input;
    uint32_t style;
    uint32_t want;
    bool assumeYes = false;
  } cases[] = {
      {"y\n", 0x24, kIdYes}, {"YES\n", 0x24, kIdYes}, {"n\n", 0x24, kIdNo},
      {"maybe\nn\n", 0x24, kIdNo},  // asked again until the answer fits
      {"c\n", 0x23, kIdCancel},
      {"c\nn\n", 0x24, kIdNo},      // no Cancel button in a Yes/No box
      {"", 0x24, kIdClosed},          // end of input
      {"y", 0x24, kIdYes},            // last line without a line end
      {"n\n", 0x24, kIdYes, true},   // assumed, not read
  };
  for (const Case& c : cases) {
    Console console(c.input);
    console.ui->SetAssumeYes(c.assumeYes);
    EXPECT_EQ(console.ui->ShowBox({"消去しますか？", "確認", c.style, "", 0}), c.want) << c.input;
  }
  Console labels(U8(u8"いいえ\n"));
  EXPECT_EQ(labels.ui->ShowBox({"?", "", 0x24, "", 0}), kIdNo);
  EXPECT_NE(labels.Err().find(U8(u8"(y=はい / n=いいえ) > ")), std::string::npos);
}

TEST(ConsoleUi, FileChoice) {
  struct Case {
    const char* input;
    bool save;
    fs::path proposed;
    int want;
    fs::path chosen;
  } cases[] = {
      {"\n", true, "orv-unformat.ovi", 0, "orv-unformat.ovi"},  // the proposal taken
      {"backup\n", true, "", 0, "backup.ovi"},                  // the default extension added
      {"\n", false, "", -1, ""},                                 // nothing proposed
      {"", false, "x.img", -1, "x.img"},                         // end of input
  };
  for (const Case& c : cases) {
    Console console(c.input);
    fs::path path = c.proposed;
    EXPECT_EQ(c.save ? console.ui->ChooseSaveFile({"保存", "ovi", {}}, path)
                     : console.ui->ChooseOpenFile({"開く", "", {}}, path),
              c.want)
        << c.input;
    EXPECT_EQ(path, c.chosen) << c.input;
  }
}

TEST(ConsoleUi, InterruptBecomesTheCloseRequest) {
  Console console("");
  int requests = 0;
  auto box = console.ui->OpenProgress({"m", "c", "キャンセル", true, 0}, [&] { ++requests; });
  box->SetRange(26);
  box->SetPosition(3);
  EXPECT_TRUE(console.ui->ProcessMessages(0));
  EXPECT_TRUE(box->IsOpen());
  std::raise(SIGINT);  // the box's handler catches it
  EXPECT_TRUE(console.ui->ProcessMessages(1000));
  EXPECT_EQ(requests, 1);
  EXPECT_FALSE(box->IsOpen());
  box.reset();
  EXPECT_EQ(console.Err(), "");  // no progress drawn when the stream is not a terminal
}

}  // namespace
}  // namespace orv

#include "toolkit/console_ui.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

namespace orv {
namespace {

namespace fs = std::filesystem;

std::string U8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

// A console whose input holds `answers` and whose error stream is kept for reading.
struct Console {
  explicit Console(const std::string& answers) {
    std::fwrite(answers.data(), 1, answers.size(), in);
    std::rewind(in);
  }
  ~Console() {
    ui.reset();
    std::fclose(in);
    std::fclose(err);
  }
  std::string Err() {
    std::rewind(err);
    std::string text;
    for (int c; (c = std::fgetc(err)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }
  std::FILE* in = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::unique_ptr<ConsoleUi> ui = std::make_unique<ConsoleUi>(err, in);
};

TEST(BoxButtons, StyleChoosesButtonsInDisplayOrder) {
  const std::pair<uint32_t, std::vector<uint32_t>> cases[] = {
      {0x10, {kIdOk}}, {0x24, {kIdYes, kIdNo}}, {0x33, {kIdYes, kIdNo, kIdCancel}},
      {0x01, {}}, {0x05, {}},  // not a style the program uses: no standard button
  };
  for (const auto& [style, ids] : cases) EXPECT_EQ(BoxButtonIds(style), ids) << "style " << style;
}

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
      {"YES\n", 0x24, kIdYes}, {"maybe\nn\n", 0x24, kIdNo},  // asked again until the answer fits
      {"c\n", 0x23, kIdCancel}, {"c\nn\n", 0x24, kIdNo},    // no Cancel button in a Yes/No box
      {"", 0x24, kIdClosed},                                 // end of input
      {"y", 0x24, kIdYes},                                   // last line without a line end
      {"n\n", 0x24, kIdYes, true},                           // assumed, not read
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

// An empty line takes the proposal; the default extension is added; at the end of input the proposal stays.
TEST(ConsoleUi, FileChoice) {
  Console take("\n"), save("backup\n"), open("");
  fs::path taken = "orv-unformat.ovi", saved, opened = "x.img";
  EXPECT_EQ(take.ui->ChooseSaveFile({"保存", "ovi", {}}, taken), 0);
  EXPECT_EQ(taken, "orv-unformat.ovi");
  EXPECT_EQ(save.ui->ChooseSaveFile({"保存", "ovi", {}}, saved), 0);
  EXPECT_EQ(saved, "backup.ovi");
  EXPECT_EQ(open.ui->ChooseOpenFile({"開く", "", {}}, opened), -1);
  EXPECT_EQ(opened, "x.img");
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

#include "app/cli/answering_ui.h"
#include "app/cli/cli_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace orv::test {
namespace {

// A console whose input holds `typed` and whose error stream is kept for reading.
class Console {
 public:
  explicit Console(const std::string& typed) : in_(std::tmpfile()), err_(std::tmpfile()), ui_(err_, in_) {
    std::fputs(typed.c_str(), in_);
    std::rewind(in_);
  }
  ~Console() {
    std::fclose(in_);
    std::fclose(err_);
  }
  ConsoleUi& Ui() { return ui_; }
  std::FILE* Err() { return err_; }
  std::string Written() {
    std::string text;
    std::rewind(err_);
    for (int c; (c = std::fgetc(err_)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }
  long Unread() { return std::ftell(in_); }

 private:
  std::FILE* in_;
  std::FILE* err_;
  ConsoleUi ui_;
};

MessageBoxSpec Question(std::string text, uint32_t style, QuestionId question = QuestionId::kNone) {
  MessageBoxSpec box;
  box.text = std::move(text);
  box.caption = "確認";
  box.style = style;
  box.question = question;
  return box;
}

// Answers go to a question's identity, never to its wording.
TEST(AnsweringUi, GivenAnswersGoToTheQuestionsIdentityAndAButtonItHas) {
  Console console("n\nn\n");
  AnsweringUi ui(console.Ui(), console.Err(), true);
  ui.Answer(QuestionId::kEraseConfirm, kIdYes);
  ui.Answer(QuestionId::kSaveBeforeErase, kIdCancel);  // a button the Yes/No box does not have
  EXPECT_EQ(ui.ShowBox(Question("E: DRIVE\r\n\r\n本当に消去しますか？", kBoxYesNo, QuestionId::kEraseConfirm)), kIdYes);
  EXPECT_EQ(console.Unread(), 0);  // answered without reading the input
  EXPECT_EQ(ui.ShowBox(Question("保存しますか？", kBoxYesNo, QuestionId::kSaveBeforeErase)), kIdNo);  // asked
  // The same wording under another identity is not answered for.
  EXPECT_EQ(ui.ShowBox(Question("E: DRIVE\r\n\r\n本当に消去しますか？", kBoxYesNo, QuestionId::kSharedMode)), kIdNo);
  const std::string written = console.Written();
  // The terminal gets UTF-8.
  EXPECT_NE(written.find(ConsoleText("本当に消去しますか？") + "\n> y (given on the command line)\n"), std::string::npos);
}

// A save choice naming a file that exists asks at the terminal before it is replaced, as the
// window's dialog does (the console erase's rows cover the option and no terminal).
TEST(AnsweringUi, AnExistingFileIsChosenForSavingOnlyWhenTheUserAgrees) {
  const std::filesystem::path existing = test::CaseDir("answering") / "existing.ovi";
  std::fclose(std::fopen(existing.string().c_str(), "wb"));
  for (const auto& [typed, result] : {std::pair{"y\n", 0}, std::pair{"n\n", -1}}) {
    Console console(typed);
    AnsweringUi ui(console.Ui(), console.Err(), true);
    ui.AnswerSaveFile(existing);
    std::filesystem::path path;
    EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), result) << typed;
    EXPECT_NE(console.Written().find(ConsoleText("は既に存在します。")), std::string::npos);
  }
  std::filesystem::remove(existing);
}

TEST(AnsweringUi, WithoutATerminalEveryUnansweredQuestionGetsTheAnswerThatChangesNothing) {
  Console console("y\ny\n");
  AnsweringUi ui(console.Ui(), console.Err(), false);
  EXPECT_EQ(ui.ShowBox(Question("?", kBoxYesNoCancel)), kIdCancel);
  EXPECT_EQ(ui.ShowBox(Question("?", kBoxYesNo | kBoxIconError)), kIdNo);
  EXPECT_EQ(ui.ShowBox(Question("done", kBoxOk)), kIdOk);
  EXPECT_EQ(console.Unread(), 0);
  std::filesystem::path path = "proposed.ovi";
  EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), -1);
  EXPECT_EQ(path, "proposed.ovi");
}

TEST(AnsweringUi, AGivenFileAnswersOneChoice) {
  Console console("");
  AnsweringUi ui(console.Ui(), console.Err(), false);
  ui.AnswerSaveFile("backup.ovi");
  std::filesystem::path path = "proposed.ovi";
  EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), 0);
  EXPECT_EQ(path, "backup.ovi");
  EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), -1);
  EXPECT_EQ(ui.ChooseOpenFile({"イメージファイルの指定", "iso", {}}, path), -1);
}

}  // namespace
}  // namespace orv::test

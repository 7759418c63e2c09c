#include "app/cli/answering_ui.h"
#include "app/cli/cli_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace orv::test {
namespace {

// A console whose input holds `typed` and whose error stream is kept for reading.
struct Console {
  explicit Console(const std::string& typed) {
    std::fputs(typed.c_str(), in);
    std::rewind(in);
  }
  ~Console() {
    std::fclose(in);
    std::fclose(err);
  }
  std::string Written() {
    std::string text;
    std::rewind(err);
    for (int c; (c = std::fgetc(err)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }

  std::FILE* in = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ConsoleUi ui{err, in};
};

MessageBoxSpec Question(std::string text, uint32_t style, QuestionId question = QuestionId::kNone) {
  return {.text = std::move(text), .caption = "確認", .style = style, .note = "", .width = 0, .question = question};
}

// Answers go to a question's identity, never to its wording.
TEST(AnsweringUi, GivenAnswersGoToTheQuestionsIdentityAndAButtonItHas) {
  Console console("n\nn\n");
  AnsweringUi ui(console.ui, console.err, true);
  ui.Answer(QuestionId::kEraseConfirm, kIdYes);
  ui.Answer(QuestionId::kSaveBeforeErase, kIdCancel);  // a button the Yes/No box does not have
  EXPECT_EQ(ui.ShowBox(Question("E: DRIVE\r\n\r\n本当に消去しますか？", kBoxYesNo, QuestionId::kEraseConfirm)), kIdYes);
  EXPECT_EQ(std::ftell(console.in), 0);  // answered without reading the input
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
    AnsweringUi ui(console.ui, console.err, true);
    ui.AnswerSaveFile(existing);
    std::filesystem::path path;
    EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), result) << typed;
    EXPECT_NE(console.Written().find(ConsoleText("は既に存在します。")), std::string::npos);
  }
  std::filesystem::remove(existing);
}

// A given file answers one save choice, and no open choice.
TEST(AnsweringUi, WithoutATerminalEveryUnansweredQuestionGetsTheAnswerThatChangesNothing) {
  Console console("y\ny\n");
  AnsweringUi ui(console.ui, console.err, false);
  EXPECT_EQ(ui.ShowBox(Question("?", kBoxYesNoCancel)), kIdCancel);
  EXPECT_EQ(ui.ShowBox(Question("?", kBoxYesNo | kBoxIconError)), kIdNo);
  EXPECT_EQ(ui.ShowBox(Question("done", kBoxOk)), kIdOk);
  EXPECT_EQ(std::ftell(console.in), 0);
  std::filesystem::path path = "proposed.ovi";
  EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), -1);
  EXPECT_EQ(path, "proposed.ovi");
  ui.AnswerSaveFile("backup.ovi");
  EXPECT_EQ(ui.ChooseOpenFile({"イメージファイルの指定", "iso", {}}, path), -1);
  EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), 0);
  EXPECT_EQ(path, "backup.ovi");
  EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), -1);
}

}  // namespace
}  // namespace orv::test

#include "app/cli/answering_ui.h"

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

// A save choice naming a file that exists asks before it is replaced, as the window's dialog
// does: at the terminal, or answered by the option; without either it is cancelled.
TEST(AnsweringUi, AnExistingFileIsChosenForSavingOnlyWhenTheUserAgrees) {
  struct Case {
    const char* name;
    const char* typed;
    bool interactive;
    bool overwrite;  // the option answers the question
    int result;
  };
  const Case cases[] = {
      {"terminal: yes", "y\n", true, false, 0},
      {"terminal: no", "n\n", true, false, -1},
      {"no terminal", "", false, false, -1},
      {"no terminal, answered by the option", "", false, true, 0},
  };
  const std::filesystem::path existing = std::filesystem::temp_directory_path() / "orvane-answering-existing.ovi";
  std::FILE* file = std::fopen(existing.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Console console(c.typed);
    AnsweringUi ui(console.Ui(), console.Err(), c.interactive);
    if (c.overwrite) ui.Answer(QuestionId::kOverwriteFile, kIdYes);
    ui.AnswerSaveFile(existing);
    std::filesystem::path path;
    EXPECT_EQ(ui.ChooseSaveFile({"消去情報の保存", "ovi", {}}, path), c.result);
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

TEST(SafeAnswer, IsCancelWhereOfferedElseNo) {
  EXPECT_EQ(SafeAnswer(kBoxYesNoCancel), kIdCancel);
  EXPECT_EQ(SafeAnswer(kBoxYesNo | kBoxIconQuestion), kIdNo);
  EXPECT_EQ(SafeAnswer(kBoxOk), kIdOk);
}

}  // namespace
}  // namespace orv::test

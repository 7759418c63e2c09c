#include "app/cli/answering_ui.h"

#include <algorithm>

#include "image/file_system.h"
#include "toolkit/sjis.h"

namespace orv {

namespace {

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

const char* KeyOf(uint32_t id) {
  switch (id) {
    case kIdYes: return "y";
    case kIdNo: return "n";
    case kIdCancel: return "c";
    default: return "ok";
  }
}

}  // namespace

uint32_t SafeAnswer(uint32_t style) {
  const std::vector<uint32_t> ids = BoxButtonIds(style);
  if (ids.empty()) return kIdClosed;
  if (std::find(ids.begin(), ids.end(), kIdCancel) != ids.end()) return kIdCancel;
  if (std::find(ids.begin(), ids.end(), kIdNo) != ids.end()) return kIdNo;
  return ids.front();
}

AnsweringUi::AnsweringUi(ConsoleUi& console, std::FILE* err, bool interactive)
    : console_(console), err_(err), interactive_(interactive) {}

MessageBoxSpec OverwriteQuestion(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  MessageBoxSpec box;
  box.text = Utf8ToSjis(std::string(utf8.begin(), utf8.end())) + "\r\nは既に存在します。\r\n上書きしますか？";
  box.caption = "確認";
  box.style = kBoxYesNo | kBoxIconWarning;
  box.question = QuestionId::kOverwriteFile;
  return box;
}

void AnsweringUi::Answer(QuestionId question, uint32_t id) {
  std::erase_if(rules_, [question](const Rule& rule) { return rule.question == question; });
  rules_.push_back({question, id});
}

// Shows the box as the console does (its text, caption and note), then the answer it was given
// and why, so that a log of the run reads like the session a user would have had.
uint32_t AnsweringUi::Shown(const MessageBoxSpec& box, uint32_t id, const char* why) {
  MessageBoxSpec shown = box;
  shown.style = BoxIcon(box.style) | 0x0F;  // a button value with no buttons: printed, not asked
  console_.ShowBox(shown);
  std::fprintf(err_, "> %s (%s)\n", KeyOf(id), why);
  std::fflush(err_);
  return id;
}

uint32_t AnsweringUi::ShowBox(const MessageBoxSpec& box) {
  const std::vector<uint32_t> ids = BoxButtonIds(box.style);
  if (ids.size() < 2) return console_.ShowBox(box);  // a message, not a question
  for (const Rule& rule : rules_) {
    if (box.question != QuestionId::kNone && rule.question == box.question &&
        std::find(ids.begin(), ids.end(), rule.id) != ids.end())
      return Shown(box, rule.id, "given on the command line");
  }
  if (!interactive_) return Shown(box, SafeAnswer(box.style), "no terminal to ask at");
  return console_.ShowBox(box);
}

int AnsweringUi::Chosen(const FileChoiceSpec& choice, std::optional<std::filesystem::path>& answer,
                        std::filesystem::path& path, bool save) {
  if (answer) {
    path = *answer;
    answer.reset();
    std::fprintf(err_, "%s > %s (given on the command line)\n", ConsoleText(choice.title).c_str(), Utf8(path).c_str());
    std::fflush(err_);
    return 0;
  }
  if (!interactive_) {
    std::fprintf(err_, "%s > (cancelled: no terminal to ask at)\n", ConsoleText(choice.title).c_str());
    std::fflush(err_);
    return -1;
  }
  return save ? console_.ChooseSaveFile(choice, path) : console_.ChooseOpenFile(choice, path);
}

int AnsweringUi::ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  return Chosen(choice, openFile_, path, false);
}

int AnsweringUi::ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) {
  if (Chosen(choice, saveFile_, path, true) != 0) return -1;
  // Only a plain file is asked about: a folder or a device is no file to replace, and the
  // operation refuses it with its own reason.
  FileFacts facts;
  if (InspectFile(path, facts, nullptr) != 0 || facts.kind != FileKind::kRegular) return 0;
  return ShowBox(OverwriteQuestion(path)) == kIdYes ? 0 : -1;
}

}  // namespace orv

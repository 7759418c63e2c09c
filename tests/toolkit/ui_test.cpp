#include <gtest/gtest.h>

#include <tuple>

#include "toolkit/scripted_ui.h"
#include "toolkit/ui.h"

namespace orv {
namespace {

TEST(BoxButtons, StyleChoosesButtonsInDisplayOrder) {
  struct Case {
    uint32_t style;
    std::vector<uint32_t> ids;
  } cases[] = {
      {0x00, {kIdOk}},
      {0x10, {kIdOk}},                       // error icon, one OK button
      {0x24, {kIdYes, kIdNo}},               // question icon, Yes and No
      {0x33, {kIdYes, kIdNo, kIdCancel}},
      {0x01, {}},                            // not a style the program uses: no standard button
      {0x05, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(BoxButtonIds(c.style), c.ids) << "style " << c.style;
}

// The test Ui answers from its queues (closed, or cancelled, once they are empty) and records
// every box exactly as asked.
TEST(ScriptedUi, AnswersFromQueuesAndRecordsExactBoxes) {
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  EXPECT_EQ(ui.ShowBox({"消去しますか？", "確認", 0x24, "※元に戻せます", 400}), kIdYes);
  EXPECT_EQ(ui.ShowBox({"two", "cap", 0x10, "", 0}), kIdClosed);
  const auto boxes = ui.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  const MessageBoxSpec& first = boxes[0].box;
  EXPECT_EQ(std::tie(first.text, first.caption, first.style, first.note, first.width),
            std::make_tuple("消去しますか？", "確認", 0x24u, "※元に戻せます", 400));
  EXPECT_EQ(boxes[0].answer, kIdYes);
  EXPECT_EQ(boxes[1].answer, kIdClosed);

  ui.QueueFile("backup.ovi");
  ui.QueueFile("");
  std::filesystem::path path = "proposed.ovi";
  EXPECT_EQ(ui.ChooseSaveFile({"保存", "ovi", {{"Image (*.ovi)", "*.ovi"}}}, path), 0);
  EXPECT_EQ(path, std::filesystem::path("backup.ovi"));
  EXPECT_EQ(ui.ChooseOpenFile({"開く", "", {}}, path), -1);
  EXPECT_EQ(ui.ChooseOpenFile({"開く", "", {}}, path), -1);  // queue empty
  EXPECT_EQ(path, std::filesystem::path("backup.ovi"));      // unchanged when cancelled
  const auto choices = ui.FileChoices();
  ASSERT_EQ(choices.size(), 3u);
  EXPECT_TRUE(choices[0].save);
  EXPECT_EQ(choices[0].proposed, std::filesystem::path("proposed.ovi"));
  EXPECT_EQ(choices[0].choice.filters[0].pattern, "*.ovi");
  EXPECT_FALSE(choices[1].save);
}

}  // namespace
}  // namespace orv

#include "operations/write_target.h"

#include <gtest/gtest.h>

#include "operation_rig.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {
namespace {

TEST(OpenWriteTarget, ExclusiveFirstSharedOnlyWhenTheUserAgrees) {
  const struct {
    const char* name;
    const char* preset;
    uint8_t heldWith;  // how another program holds the drive; 0: nobody
    uint32_t answer;   // to the shared-mode question
    int result;
    size_t boxes;  // the question, and the failure box after it
  } cases[] = {
      {"free drive: exclusive, no question", "dvdram", 0, 0, 0, 0},
      {"shared by another, user agrees", "dvdram", kOpenSharedReadWrite, kIdYes, 0, 1},
      {"shared by another, user refuses", "dvdram", kOpenSharedReadWrite, kIdNo, -1, 1},
      {"question closed without a button", "dvdram", kOpenSharedReadWrite, kIdClosed, -1, 1},
      {"held exclusively: shared fails too", "dvdram", kOpenExclusiveReadWrite, kIdYes, -1, 2},
      {"write-protected medium (read-only disc)", "dvdrom", 0, 0, -1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OperationRig rig(c.preset);
    ASSERT_TRUE(rig.Ready());
    if (c.heldWith) { ASSERT_NE(rig.HoldOpen(c.heldWith), kNoPortHandle); }
    ScriptedUi ui;
    if (c.answer) ui.QueueAnswer(c.answer);
    bool writeProtected = false;
    EXPECT_EQ(OpenWriteTarget(ui, rig.Device(), rig.Record(), &writeProtected), c.result);
    EXPECT_EQ(writeProtected, std::string(c.preset) == "dvdrom");
    EXPECT_EQ(rig.Device().IsOpen(), c.result == 0);
    std::vector<std::string> shown;  // text, note, caption and style of each box
    for (const RecordedBox& b : ui.Boxes())
      shown.push_back(b.box.text + "|" + b.box.note + "|" + b.box.caption + "|" + std::to_string(b.box.style));
    const std::string question = std::string(kSharedModeQuestion) + "|" + kSharedModeNote + "|エラー|" +
                                 std::to_string(kBoxYesNo | kBoxIconError);
    const std::string error = "||エラー|" + std::to_string(kBoxOk | kBoxIconError);
    const std::vector<std::string> expected[] = {
        {},
        {writeProtected ? "書き込み先のディスクは書き込み禁止になっています。\r\n何も書き込んでいません。" + error : question},
        {question, "書き込み先のデバイスを開くことができません。\r\n" + error}};
    EXPECT_EQ(shown, expected[c.boxes]);
  }
}

TEST(OpenWriteTarget, ClosesWhatTheHandleHeldBefore) {
  OperationRig rig("dvdram");
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.Device().Open(rig.Record().path.c_str(), kOpenSharedReadWrite), 0);
  ScriptedUi ui;
  EXPECT_EQ(OpenWriteTarget(ui, rig.Device(), rig.Record()), 0);  // not refused for its own shared open
  EXPECT_TRUE(ui.Boxes().empty());
  EXPECT_EQ(rig.HoldOpen(kOpenSharedReadWrite), kNoPortHandle);  // exclusive now
}

}  // namespace
}  // namespace orv::test

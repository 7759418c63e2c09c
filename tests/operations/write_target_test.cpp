#include "operations/write_target.h"

#include <gtest/gtest.h>

#include "operation_rig.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {
namespace {

// The drive as another program holds it (0: nobody), the answer to the shared-mode question,
// and what the open must end in.
struct OpenCase {
  const char* name;
  uint8_t heldWith;
  uint32_t answer;
  int result;
  size_t boxes;  // the question, and the failure box after it
};

TEST(OpenWriteTarget, ExclusiveFirstSharedOnlyWhenTheUserAgrees) {
  const OpenCase cases[] = {
      {"free drive: exclusive, no question", 0, 0, 0, 0},
      {"shared by another, user agrees", kOpenSharedReadWrite, kIdYes, 0, 1},
      {"shared by another, user refuses", kOpenSharedReadWrite, kIdNo, -1, 1},
      {"question closed without a button", kOpenSharedReadWrite, kIdClosed, -1, 1},
      {"held exclusively: shared fails too", kOpenExclusiveReadWrite, kIdYes, -1, 2},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    OperationRig rig("dvdram");
    ASSERT_TRUE(rig.Ready());
    const PortHandle held = c.heldWith ? rig.HoldOpen(c.heldWith) : kNoPortHandle;
    ScriptedUi ui;
    if (c.answer) ui.QueueAnswer(c.answer);
    EXPECT_EQ(OpenWriteTarget(ui, rig.Device(), rig.Record()), c.result);
    EXPECT_EQ(rig.Device().IsOpen(), c.result == 0);
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), c.boxes);
    if (c.boxes >= 1) {
      EXPECT_EQ(boxes[0].box.text, kSharedModeQuestion);
      EXPECT_EQ(boxes[0].box.note, kSharedModeNote);
      EXPECT_EQ(boxes[0].box.caption, "エラー");
      EXPECT_EQ(boxes[0].box.style, kBoxYesNo | kBoxIconError);
    }
    if (c.boxes == 2) {
      EXPECT_EQ(boxes[1].box.text, "書き込み先のデバイスを開くことができません。\r\n");
      EXPECT_EQ(boxes[1].box.style, kBoxOk | kBoxIconError);
    }
    if (held != kNoPortHandle) rig.Release(held);
  }
}

TEST(OpenWriteTarget, ClosesWhatTheHandleHeldBefore) {
  OperationRig rig("dvdram");
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.Device().Open(rig.Record().path.c_str(), kOpenSharedReadWrite), 0);
  ScriptedUi ui;
  // Still open shared by the program itself, the exclusive open would be refused.
  EXPECT_EQ(OpenWriteTarget(ui, rig.Device(), rig.Record()), 0);
  EXPECT_TRUE(ui.Boxes().empty());
  // Exclusive now: another program cannot open it beside the operation.
  EXPECT_EQ(rig.HoldOpen(kOpenSharedReadWrite), kNoPortHandle);
}

}  // namespace
}  // namespace orv::test

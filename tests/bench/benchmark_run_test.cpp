// A whole benchmark as the user meets it (scripted Ui): the question, the drive opened, the
// progress box over the worker, the stop boxes, the report, the drive closed again.
#include "bench/benchmark_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/benchmark_measurement.h"
#include "bench/benchmark_text.h"
#include "bench_rig.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {
namespace {

// The user presses Cancel the moment the progress box opens, before the worker looks at anything.
class CancelAtOnceUi : public ScriptedUi {
 public:
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& box, std::function<void()> onClose) override {
    if (onClose) onClose();
    return ScriptedUi::OpenProgress(box, std::move(onClose));
  }
};

struct Reported {
  int calls = 0;
  size_t rows = 0;
  bool deviceOpen = false;  // when the report came
};

BenchmarkRun RunWith(BenchRig& rig, ScriptedUi& ui, Reported& reported) {
  return RunBenchmark(ui, rig.List(), rig.Record(), rig.Clock(), [&](std::span<const BenchmarkResult> rows) {
    reported = {reported.calls + 1, rows.size(), rig.Device().IsOpen()};
  });
}

// The progress box: each row's status before it is measured, the full bar at the end; the report
// while the drive is still open.
TEST(RunBenchmark, AWholeRunShowsProgressThenTheReportWithTheDriveStillOpen) {
  BenchRig rig;
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  Reported reported;
  const BenchmarkRun run = RunWith(rig, ui, reported);
  EXPECT_EQ(run.end, BenchmarkEnd::kCompleted);
  EXPECT_EQ(ui.Boxes().size(), 1u);  // the question only
  EXPECT_EQ(reported.calls, 1);
  EXPECT_EQ(reported.rows, 17u);
  EXPECT_TRUE(reported.deviceOpen);
  EXPECT_FALSE(rig.Device().IsOpen());
  const auto progress = ui.ProgressBoxes();
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0].boxSpec.message, "ベンチマーク・テスト実行中...");
  EXPECT_EQ(progress[0].boxSpec.caption, kAppTitle);
  EXPECT_EQ(progress[0].boxSpec.buttonLabel, "キャンセル");
  EXPECT_TRUE(progress[0].boxSpec.progressBar);
  std::vector<std::string> expected = {"range 17"};
  for (size_t i = 0; i < run.rows.size(); ++i) {
    expected.push_back("pos " + std::to_string(i));
    expected.push_back("status " + run.rows[i].title);
  }
  expected.insert(expected.end(), {"pos 17", "closed"});
  EXPECT_EQ(progress[0].events, expected);
}

// The question first: without Yes nothing else happens. Each stop has its box, then the report of
// the rows measured when there is one; the drive is closed at the end. A drive that cannot be
// opened gets the error box only.
TEST(RunBenchmark, TheQuestionThenTheStopBoxThenTheRowsMeasured) {
  using enum BenchmarkEnd;
  const char* const cancelled = "処理を中断しました。";
  const struct {
    const char* name;
    BenchRigSetup setup;
    uint32_t answer;
    bool holdOpen, pressAtOnce;
    const char* pressOn;  // the status at which the user presses Cancel
    BenchmarkEnd end;
    size_t rows;
    const char* message;  // of the second box; nullptr: none
    const char* caption;
  } cases[] = {
      {"no", {}, kIdNo, false, false, nullptr, kNotConfirmed, 0, nullptr, nullptr},
      {"the question closed", {}, kIdClosed, false, false, nullptr, kNotConfirmed, 0, nullptr, nullptr},
      {"cancel in the first test", {}, kIdYes, false, false, kTitleTestUnitReady, kCancelled, 1, cancelled, kAppTitle},
      {"cancel before the first check", {}, kIdYes, false, true, nullptr, kCancelled, 0, cancelled, kAppTitle},
      {"no disc", {.withMedium = false}, kIdYes, false, false, nullptr, kFailed, 0, kStopNotReady, kAppTitle},
      {"held by another program", {}, kIdYes, true, false, nullptr, kNotOpened, 0,
       "デバイスを開くことができません。\r\n", "エラー"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig(c.setup);
    const PortHandle held = c.holdOpen ? rig.HoldOpen(kOpenExclusiveReadWrite) : kNoPortHandle;
    std::unique_ptr<ScriptedUi> ui = c.pressAtOnce ? std::make_unique<CancelAtOnceUi>() : std::make_unique<ScriptedUi>();
    ui->QueueAnswer(c.answer);
    if (c.pressOn) ui->PressProgressButtonOnStatus(c.pressOn);
    Reported reported;
    const BenchmarkRun run = RunWith(rig, *ui, reported);
    EXPECT_EQ(run.end, c.end);
    EXPECT_EQ(run.rows.size(), c.rows);
    const auto boxes = ui->Boxes();
    ASSERT_EQ(boxes.size(), c.message ? 2u : 1u);
    EXPECT_EQ(boxes[0].box.text, "ORVANE   VIRTUAL DVD-RAM  1.01\r\n\r\nベンチマーク テストを実行しますか？\r\n");
    EXPECT_EQ(boxes[0].box.caption, "確認");
    EXPECT_EQ(boxes[0].box.style, kBoxYesNo | kBoxIconQuestion);
    if (c.message) {
      EXPECT_EQ(boxes[1].box.text, c.message);
      EXPECT_EQ(boxes[1].box.caption, c.caption);
      EXPECT_EQ(boxes[1].box.style, kBoxOk | kBoxIconError);
    }
    EXPECT_EQ(ui->ProgressBoxes().empty(), c.holdOpen || c.answer != kIdYes);
    if (c.answer != kIdYes) {
      EXPECT_TRUE(rig.Sent().empty());
    }
    EXPECT_EQ(reported.calls, c.rows > 0 ? 1 : 0);
    EXPECT_EQ(reported.rows, c.rows);
    EXPECT_FALSE(rig.Device().IsOpen());
    if (c.holdOpen) rig.Release(held);
  }
}

}  // namespace
}  // namespace orv::test

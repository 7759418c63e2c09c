// A whole benchmark as the user meets it, with the scripted Ui: the question, the drive opened,
// the progress box over the worker, the stop boxes, the report, the drive closed again.
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
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& spec, std::function<void()> onClose) override {
    if (onClose) onClose();
    return ScriptedUi::OpenProgress(spec, std::move(onClose));
  }
};

struct Reported {
  int calls = 0;
  size_t rows = 0;
  bool deviceOpen = false;
};

BenchmarkRun RunWith(BenchRig& rig, ScriptedUi& ui, Reported& reported) {
  return RunBenchmark(ui, rig.List(), rig.Record(), rig.Clock(), [&](std::span<const BenchmarkResult> rows) {
    reported = {reported.calls + 1, rows.size(), rig.Device().IsOpen()};
  });
}

TEST(RunBenchmark, AsksFirstAndDoesNothingWithoutYes) {
  for (const uint32_t answer : {kIdNo, kIdClosed}) {
    BenchRig rig;
    ScriptedUi ui;
    ui.QueueAnswer(answer);
    Reported reported;
    EXPECT_EQ(RunWith(rig, ui, reported).end, BenchmarkEnd::kNotConfirmed);
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].box.text, "ORVANE   VIRTUAL DVD-RAM  1.01\r\n\r\nベンチマーク テストを実行しますか？\r\n");
    EXPECT_EQ(boxes[0].box.caption, "確認");
    EXPECT_EQ(boxes[0].box.style, kBoxYesNo | kBoxIconQuestion);
    EXPECT_TRUE(ui.ProgressBoxes().empty());
    EXPECT_TRUE(rig.Sent().empty());
    EXPECT_EQ(reported.calls, 0);
  }
}

// The progress box from the first row to the full bar; the report while the drive is still open.
TEST(RunBenchmark, AWholeRunShowsProgressThenTheReportWithTheDriveStillOpen) {
  BenchRig rig;
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  Reported reported;
  const BenchmarkRun run = RunWith(rig, ui, reported);
  EXPECT_EQ(run.end, BenchmarkEnd::kCompleted);
  EXPECT_EQ(run.rows.size(), 17u);
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
  const auto& events = progress[0].events;
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 3),
            (std::vector<std::string>{"range 17", "pos 0", std::string("status ") + kTitleTestUnitReady}));
  EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()), (std::vector<std::string>{"pos 17", "closed"}));
}

// Each stop has its box, then the report of the rows measured when there is one; the drive is
// closed at the end. A drive that cannot be opened gets the error box only.
TEST(RunBenchmark, CancelAndErrorsShowTheirBoxThenTheRowsMeasured) {
  const struct {
    const char* name;
    BenchRigSetup setup;
    bool holdOpen, pressAtOnce;
    const char* pressOn;  // the status at which the user presses Cancel
    BenchmarkEnd end;
    size_t rows;
    const char* message;
    const char* caption;
  } cases[] = {
      {"cancel during the first test", {}, false, false, kTitleTestUnitReady, BenchmarkEnd::kCancelled, 1,
       "処理を中断しました。", kAppTitle},
      {"cancel before the first check", {}, false, true, nullptr, BenchmarkEnd::kCancelled, 0, "処理を中断しました。",
       kAppTitle},
      {"no disc", {.withMedium = false}, false, false, nullptr, BenchmarkEnd::kFailed, 0, kStopNotReady, kAppTitle},
      {"held by another program", {}, true, false, nullptr, BenchmarkEnd::kNotOpened, 0,
       "デバイスを開くことができません。\r\n", "エラー"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig(c.setup);
    const PortHandle held = c.holdOpen ? rig.HoldOpen(kOpenExclusiveReadWrite) : kNoPortHandle;
    std::unique_ptr<ScriptedUi> ui = c.pressAtOnce ? std::make_unique<CancelAtOnceUi>() : std::make_unique<ScriptedUi>();
    ui->QueueAnswer(kIdYes);
    if (c.pressOn) ui->PressProgressButtonOnStatus(c.pressOn);
    Reported reported;
    const BenchmarkRun run = RunWith(rig, *ui, reported);
    EXPECT_EQ(run.end, c.end);
    EXPECT_EQ(run.rows.size(), c.rows);
    const auto boxes = ui->Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].box.text, c.message);
    EXPECT_EQ(boxes[1].box.caption, c.caption);
    EXPECT_EQ(boxes[1].box.style, kBoxOk | kBoxIconError);
    EXPECT_EQ(ui->ProgressBoxes().empty(), c.holdOpen);
    EXPECT_EQ(reported.calls, c.rows > 0 ? 1 : 0);
    EXPECT_EQ(reported.rows, c.rows);
    EXPECT_FALSE(rig.Device().IsOpen());
    if (c.holdOpen) rig.Release(held);
  }
}

}  // namespace
}  // namespace orv::test

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

// The scripted Ui whose user presses Cancel the moment the progress box opens, before the
// worker has looked at anything.
class CancelAtOnceUi : public ScriptedUi {
 public:
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec, std::function<void()> onCloseRequest) override {
    if (onCloseRequest) onCloseRequest();
    return ScriptedUi::OpenProgress(boxSpec, std::move(onCloseRequest));
  }
};

struct Reported {
  int calls = 0;
  std::vector<BenchmarkResult> rows;
  bool deviceOpen = false;
};

BenchmarkRun RunWith(BenchRig& rig, ScriptedUi& ui, Reported& reported) {
  return RunBenchmark(ui, rig.List(), rig.Record(), rig.Clock(), [&](std::span<const BenchmarkResult> rows) {
    ++reported.calls;
    reported.rows.assign(rows.begin(), rows.end());
    reported.deviceOpen = rig.Device().IsOpen();
  });
}

TEST(RunBenchmark, AsksFirstAndDoesNothingWithoutYes) {
  for (const uint32_t answer : {kIdNo, kIdClosed}) {
    BenchRig rig;
    ScriptedUi ui;
    ui.QueueAnswer(answer);
    Reported reported;
    const BenchmarkRun run = RunWith(rig, ui, reported);
    EXPECT_EQ(run.end, BenchmarkEnd::kNotConfirmed);
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

TEST(RunBenchmark, ADriveThatCannotBeOpenedGetsTheErrorBoxOnly) {
  BenchRig rig;
  const PortHandle held = rig.HoldOpen(kOpenExclusiveReadWrite);
  ASSERT_NE(held, kNoPortHandle);
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  Reported reported;
  EXPECT_EQ(RunWith(rig, ui, reported).end, BenchmarkEnd::kNotOpened);
  const auto boxes = ui.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].box.text, "デバイスを開くことができません。\r\n");
  EXPECT_EQ(boxes[1].box.caption, "エラー");
  EXPECT_EQ(boxes[1].box.style, kBoxOk | kBoxIconError);
  EXPECT_TRUE(ui.ProgressBoxes().empty());
  EXPECT_EQ(reported.calls, 0);
  rig.Release(held);
}

TEST(RunBenchmark, AWholeRunShowsProgressThenTheReportWithTheDriveStillOpen) {
  BenchRig rig;
  ScriptedUi ui;
  ui.QueueAnswer(kIdYes);
  Reported reported;
  const BenchmarkRun run = RunWith(rig, ui, reported);
  EXPECT_EQ(run.end, BenchmarkEnd::kCompleted);
  EXPECT_EQ(run.rows.size(), 17u);
  EXPECT_EQ(ui.Boxes().size(), 1u);  // the question only
  ASSERT_EQ(reported.calls, 1);
  EXPECT_EQ(reported.rows.size(), 17u);
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
  EXPECT_EQ(events.front(), "range 17");
  EXPECT_EQ(events[1], "pos 0");
  EXPECT_EQ(events[2], std::string("status ") + kTitleTestUnitReady);
  EXPECT_EQ(events[events.size() - 2], "pos 17");
  EXPECT_EQ(events.back(), "closed");
}

TEST(RunBenchmark, CancelAndErrorsShowTheirBoxThenTheRowsMeasured) {
  const struct {
    const char* name;
    BenchRigSetup setup;
    const char* pressOn;  // the status at which the user presses Cancel
    bool pressAtOnce;
    BenchmarkEnd end;
    size_t rows;
    const char* message;
  } cases[] = {
      {"cancel during the first test", {}, kTitleTestUnitReady, false, BenchmarkEnd::kCancelled, 1,
       "処理を中断しました。"},
      {"cancel before the first check", {}, nullptr, true, BenchmarkEnd::kCancelled, 0, "処理を中断しました。"},
      {"cancel during the random seek", {}, kTitleRandomSeek, false, BenchmarkEnd::kCancelled, 5,
       "処理を中断しました。"},
      {"no disc", NoDisc(), nullptr, false, BenchmarkEnd::kFailed, 0, kStopNotReady},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BenchRig rig(c.setup);
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
    EXPECT_EQ(boxes[1].box.caption, kAppTitle);
    EXPECT_EQ(boxes[1].box.style, kBoxOk | kBoxIconError);
    // The report follows the box when there is a row to show.
    EXPECT_EQ(reported.calls, c.rows > 0 ? 1 : 0);
    EXPECT_EQ(reported.rows.size(), c.rows);
    EXPECT_FALSE(rig.Device().IsOpen());
  }
}

}  // namespace
}  // namespace orv::test

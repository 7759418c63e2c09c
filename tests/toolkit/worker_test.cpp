#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "toolkit/scripted_ui.h"
#include "toolkit/worker.h"

namespace orv {
namespace {

ProgressBoxSpec ScanLikeSpec() { return {"デバイスを検索しています。", "Scan Device...", "キャンセル", true, 400}; }

// A walk over ten steps that reports each and stops when asked, like the scan.
int Walk(WorkerContext& ctx, std::vector<int>& done) {
  ctx.SetStatus("");
  ctx.SetRange(10);
  for (int i = 0; i < 10; ++i) {
    ctx.SetStatus("step " + std::to_string(i));
    ctx.SetPosition(static_cast<uint32_t>(i));
    if (ctx.StopRequested()) return -1;
    done.push_back(i);
  }
  ctx.SetStatus("");
  ctx.SetPosition(10);
  return 0;
}

// The walk runs to its end, or to the check after the button is pressed; either way the box
// closes and nothing reported after a close request reaches it.
TEST(Worker, RunsUntilTheEndOrTheButtonAndClosesTheBox) {
  const struct {
    const char* pressOn;  // status at which the button is pressed; "" never
    std::vector<int> done;
    int closeCalls;
    uint32_t position;  // the last position the box got
    std::vector<std::string> tail;
  } cases[] = {
      {"", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, 10, {"status ", "pos 10", "closed"}},
      // The press lands while step 4 reports, so the check right after sees it.
      {"step 4", {0, 1, 2, 3}, 1, 3, {"status step 4", "close request", "closed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pressOn);
    ScriptedUi ui;
    if (*c.pressOn != '\0') ui.PressProgressButtonOnStatus(c.pressOn);
    std::vector<int> done;
    int calls = 0;
    ASSERT_EQ(RunWorkerWithProgress(
                  ui, ScanLikeSpec(), [&](WorkerContext& ctx) { Walk(ctx, done); }, [&] { ++calls; }),
              0);
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(calls, c.closeCalls);
    const auto boxes = ui.ProgressBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ((std::vector<uint32_t>{boxes[0].range, boxes[0].position}), (std::vector<uint32_t>{10, c.position}));
    EXPECT_EQ(boxes[0].closeRequested, c.closeCalls != 0);
    EXPECT_TRUE(boxes[0].closed);
    EXPECT_EQ(std::vector<std::string>(boxes[0].events.end() - 3, boxes[0].events.end()), c.tail);
  }
}

// A Ui whose box vanishes without the close request (a window destroyed by other means), or whose
// box cannot be opened at all.
class BrokenBoxUi : public ScriptedUi {
 public:
  bool opens = true;
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec, std::function<void()>) override {
    if (!opens) return nullptr;
    auto box = ScriptedUi::OpenProgress(boxSpec, nullptr);
    box->Close();
    return box;
  }
};

// A quit request, or the box gone without a request, stops a worker that only waits for it.
TEST(Worker, QuitOrBoxGoneStopsTheWorker) {
  ScriptedUi quitting;
  quitting.QuitOnProcessCall(1);
  BrokenBoxUi vanishing;
  for (ScriptedUi* ui : {&quitting, static_cast<ScriptedUi*>(&vanishing)}) {
    bool sawStop = false;
    ASSERT_EQ(RunWorkerWithProgress(*ui, ScanLikeSpec(),
                                    [&](WorkerContext& ctx) {
                                      while (!ctx.StopRequested()) std::this_thread::yield();
                                      sawStop = true;
                                    }),
              0);
    EXPECT_TRUE(sawStop);
  }
}

// The work's exception reaches the caller after the box closed; without a box no work starts.
TEST(Worker, ExceptionOfTheWorkIsRethrownOnTheCallerAndNoBoxNoWork) {
  ScriptedUi ui;
  EXPECT_THROW(RunWorkerWithProgress(ui, ScanLikeSpec(), [](WorkerContext&) { throw std::runtime_error("disk"); }),
               std::runtime_error);
  EXPECT_TRUE(ui.ProgressBoxes()[0].closed);
  BrokenBoxUi noBox;
  noBox.opens = false;
  bool ran = false;
  EXPECT_EQ(RunWorkerWithProgress(noBox, ScanLikeSpec(), [&](WorkerContext&) { ran = true; }), -1);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace orv

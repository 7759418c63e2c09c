#include "bench/benchmark_run.h"

#include "bench/benchmark_measurement.h"
#include "device/inquiry_view.h"
#include "toolkit/format.h"
#include "toolkit/ui.h"
#include "toolkit/worker.h"

namespace orv {

std::string BenchmarkQuestion(const DriveRecord& drive) {
  return Format("%s\r\n\r\n%s", IdentificationText(drive), kBenchQuestionEnding);
}

BenchmarkRun RunBenchmark(Ui& ui, DriveList& drives, const DriveRecord& drive, BenchClock& clock,
                          const std::function<void(std::span<const BenchmarkResult>)>& showReport) {
  BenchmarkRun run;
  MessageBoxSpec question;
  question.text = BenchmarkQuestion(drive);
  question.caption = "確認";
  question.style = kBoxYesNo | kBoxIconQuestion;
  question.question = QuestionId::kBenchmarkConfirm;
  if (ui.ShowBox(question) != kIdYes) return run;

  // Shared read and write access, as every reading operation opens a drive: the benchmark
  // sends only commands that read, and the drive stays usable by other programs meanwhile.
  DeviceHandle& device = drives.Device();
  device.Close();
  if (device.Open(drive.path.c_str(), kOpenSharedReadWrite) != 0) {
    ui.ShowBox({kBenchCannotOpen, "エラー", kBoxOk | kBoxIconError, "", 0});
    run.end = BenchmarkEnd::kNotOpened;
    return run;
  }
  DriveRecord measured = drive;
  drives.Refresh(measured);  // a READ CAPACITY that fails leaves 0 blocks: "not ready"

  BenchmarkMeasurement measurement(device, measured, clock);
  const ProgressBoxSpec boxSpec{kBenchProgressMessage, kAppTitle, "キャンセル", true, 0};
  const int rc = RunWorkerWithProgress(
      ui, boxSpec, [&measurement](WorkerContext& context) { measurement.Run(context); },
      [&measurement] { measurement.RequestStop(); });
  if (rc != 0) {
    device.Close();
    run.end = BenchmarkEnd::kNoProgressBox;
    return run;
  }

  const std::span<const BenchmarkResult> rows = measurement.Rows();
  run.rows.assign(rows.begin(), rows.end());
  run.end = BenchmarkEnd::kCompleted;
  if (measurement.Stopped()) {
    run.stopMessage = measurement.StopMessage();
    run.end = run.stopMessage.empty() ? BenchmarkEnd::kCancelled : BenchmarkEnd::kFailed;
    ui.ShowBox({run.stopMessage.empty() ? std::string(kBenchInterrupted) : run.stopMessage, kAppTitle,
                kBoxOk | kBoxIconError, "", 0});
  }
  if (!run.rows.empty() && showReport) showReport(run.rows);
  device.Close();
  return run;
}

}  // namespace orv

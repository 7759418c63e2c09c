// The benchmark's report window (class "orvbenchreport"): the rows of a run as a four-column
// list, a button that copies them to the clipboard as aligned text, and OK. Modal to its owner,
// which stays disabled while it is open.
#pragma once

#include <windows.h>

#include <span>

#include "bench/benchmark_report_layout.h"
#include "bench/benchmark_result.h"
#include "bench/benchmark_text.h"
#include "toolkit/win32/clipboard.h"
#include "toolkit/win32/grid_list.h"
#include "toolkit/win32/push_button.h"
#include "toolkit/win32/window.h"

namespace orv {

inline constexpr wchar_t kBenchReportClass[] = L"orvbenchreport";
inline constexpr int kIdBenchList = 100;
inline constexpr int kIdBenchCopy = 101;
inline constexpr int kIdBenchOk = 1;
inline constexpr char kBenchCopyLabel[] = "結果をクリップボードにコピー";
inline constexpr char kBenchOkLabel[] = "   OK   ";

class BenchmarkReportWindow : public Window {
 public:
  // The rows belong to the run and must outlive the window.
  explicit BenchmarkReportWindow(std::span<const BenchmarkResult> rows);
  ~BenchmarkReportWindow() override;

  // Shows the report over `owner` and returns once it is closed (OK or the close box), with the
  // owner enabled again as it was, shown, active and focused. 0, or -1 when the class or the
  // window cannot be made (nothing is shown then).
  int Run(HWND owner);

  GridList& list() { return list_; }
  // The text the copy button puts on the clipboard.
  std::string ClipboardText() const { return BenchmarkTableText(rows_); }

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

 private:
  LRESULT OnCreate(UINT, WPARAM, LPARAM);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM);
  LRESULT OnClose(UINT, WPARAM, LPARAM);
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnCommand(UINT, WPARAM, LPARAM);
  LRESULT OnCtlColor(UINT, WPARAM, LPARAM);
  void LayOut();
  void Fill();
  void Copy();
  void RestoreOwner();

  std::span<const BenchmarkResult> rows_;
  BenchmarkColumns columns_;
  BenchReportMetrics metrics_;
  HFONT listFont_ = nullptr;
  HFONT buttonFont_ = nullptr;
  GridList list_;
  PushButton copy_;
  PushButton ok_;
  Clipboard clipboard_;
  HWND owner_ = nullptr;
  bool ownerWasEnabled_ = false;
};

}  // namespace orv

// The drive information window (class "orvdevinfo"): the identification line across the top,
// the section titles in a list on the left, and the text of the chosen section in a read-only
// pane beside it, with an OK button under them.
//
// The report is gathered on a worker thread into the window's DriveReport, which no control
// reads while the worker runs; the controls are filled on the user-interface thread once the
// worker has ended. The worker never touches a window, so closing or destroying the window can
// never meet a worker writing into it.
#pragma once

#include <windows.h>

#include <string>

#include "report/report.h"
#include "toolkit/win32/grid_list.h"
#include "toolkit/win32/push_button.h"
#include "toolkit/win32/text_pane.h"
#include "toolkit/win32/window.h"

namespace orv {

class DeviceHandle;
struct DriveRecord;

inline constexpr wchar_t kReportWindowClass[] = L"orvdevinfo";

class ReportWindow : public Window {
 public:
  // Control ids.
  static constexpr int kIdTitle = 100, kIdSections = 101, kIdText = 102, kIdOk = 1;

  ReportWindow();
  ~ReportWindow() override;

  // The whole command, on the user-interface thread: opens the drive (nothing is shown when it
  // does not open), shows this window empty over `owner` and disables the owner, gathers the
  // report behind the progress box, then runs the window until OK or its close box; a cancelled
  // gathering destroys the window as soon as the worker has ended. Finally gives the owner back
  // its enabled state and brings it forward. 0 when the report was shown, 1 when cancelled, -1
  // when the drive did not open or a window could not be made.
  int Run(DeviceHandle& device, const DriveRecord& record, HWND owner);

  // Creates the window (hidden) over `owner`, which may be null. 0 or -1.
  int CreateOver(HWND owner);
  // Puts the report's identification line and section titles into the controls.
  void ShowReport();
  // Shows a section's text in the pane (its title when it has no text).
  void ShowSection(int row);

  DriveReport& report() { return report_; }
  GridList& sections() { return sections_; }
  TextPane& text() { return text_; }
  Window& title() { return title_; }
  PushButton& ok() { return ok_; }
  HFONT reportFont() const { return reportFont_; }

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

 private:
  enum class LayoutMode { kCreate, kShow };
  void Layout(LayoutMode mode, HDC dc);
  // Runs the window's messages until it is destroyed (or the program is asked to quit).
  void RunUntilClosed();

  LRESULT OnCreate(UINT, WPARAM, LPARAM);
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnCommand(UINT, WPARAM, LPARAM);
  LRESULT OnClose(UINT, WPARAM, LPARAM);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM);
  LRESULT OnCtlColor(UINT, WPARAM, LPARAM);

  DriveReport report_;
  Window title_;
  GridList sections_;
  TextPane text_;
  PushButton ok_;
  HFONT reportFont_ = nullptr;  // owned: made anew for each window from the fixed font
  // While the worker gathers, report_ is the worker's; a close request then only marks the
  // gathering cancelled, and the window goes once the worker has ended.
  bool gathering_ = false;
  bool closeRequested_ = false;
};

}  // namespace orv

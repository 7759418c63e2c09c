// The main window (class "orvwnd"): menu bar, drive list, information pane and the row of five
// command buttons. It does no drive work itself: the drive list view fills the list from the
// scan, and each command hands the chosen record to the operation that carries it out.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/version.h"
#include "toolkit/ui.h"
#include "toolkit/win32/grid_list.h"
#include "toolkit/win32/menu_bar.h"
#include "toolkit/win32/push_button.h"
#include "toolkit/win32/text_pane.h"
#include "toolkit/win32/window.h"

namespace orv {

class OrvaneApp;
struct DriveRecord;

inline constexpr const char* kMainTitle = kAppTitle;
inline constexpr wchar_t kMainClass[] = L"orvwnd";

// Command ids of the menu items, the list, the pane and the buttons.
enum Command : int {
  kCmdExit = 100,
  kCmdHelp = 101,
  kCmdAbout = 102,
  kCmdDriveList = 103,
  kCmdInfoPane = 104,
  kCmdDriveSearch = 105,
  kCmdDriveInfo = 106,
  kCmdImageWrite = 107,
  kCmdDiscErase = 108,
  kCmdBenchmark = 109,
  kCmdDiscBackup = 110,
  kCmdDiscCompare = 111,
  kCmdSurfaceScan = 112,
};

class MainWindow : public Window {
 public:
  explicit MainWindow(OrvaneApp& app);
  ~MainWindow() override;

  // Registers the class (icon resource 101) and creates the window at its measured size.
  int CreateMain();

  // The drive list view (drive_list_view.cpp).
  int DriveSearch();
  void RowChosen(int row);
  void RowDeselected();
  // Enables the four drive buttons and the two drive menu items that fit the chosen record
  // (none without a choice).
  void UpdateCommandState(bool choicePresent);
  // The record of the list's current choice, or null.
  const DriveRecord* ChosenRecord() const;

  GridList& list() { return list_; }
  TextPane& pane() { return pane_; }
  PushButton& button(int i) { return buttons_[static_cast<size_t>(i)]; }
  MenuBar& menu() { return menu_; }

  // The exit question and the about box, as the commands show them.
  static std::string ExitQuestion();
  static std::string AboutText();

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

 private:
  enum class LayoutMode { kMeasure, kCreate, kShow };
  void Layout(LayoutMode mode, HDC dc);
  void BuildMenu();
  int RunDriveCommand(int command);
  void ShowHelp();
  void ShowAbout();

  LRESULT OnCreate(UINT, WPARAM, LPARAM);
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnCommand(UINT, WPARAM, LPARAM);
  LRESULT OnClose(UINT, WPARAM, LPARAM);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM);
  LRESULT OnCtlColor(UINT, WPARAM, LPARAM);

  OrvaneApp& app_;
  MenuBar menu_;
  GridList list_;
  TextPane pane_;
  std::array<PushButton, 5> buttons_;
  HFONT listFont_ = nullptr;
  HFONT paneFont_ = nullptr;
  HFONT buttonFont_ = nullptr;
  int width_ = 512;
  int height_ = 400;
};

}  // namespace orv

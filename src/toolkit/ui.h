// The user-interface seam: everything an operation asks of a user interface.
//
// Operations (scan, report, benchmark, erase, image write) never open a window or read a terminal
// themselves; they ask a `Ui`. The Windows front end implements it with the toolkit's dialog box,
// the console front end with the terminal, and tests with a scripted implementation that answers
// from a queue and records every box.
//
// All text crossing this seam is the program's own CP932 text; an implementation converts it at
// its edge (UTF-16 for Windows, UTF-8 for a terminal). Paths stay std::filesystem::path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The application's title: the main window's, and the caption of the boxes the operations show.
inline constexpr char kAppTitle[] = "Orvane - DVD-RAM Utility";

// Box styles are the values of the system's message box styles: bits 3-0 choose the buttons,
// bits 7-4 the icon. Other button values show no standard button (progress boxes use style 0
// with a relabelled slot 0).
inline constexpr uint32_t kBoxOk = 0x00;
inline constexpr uint32_t kBoxYesNoCancel = 0x03;
inline constexpr uint32_t kBoxYesNo = 0x04;
inline constexpr uint32_t kBoxIconError = 0x10;
inline constexpr uint32_t kBoxIconQuestion = 0x20;
inline constexpr uint32_t kBoxIconWarning = 0x30;

constexpr uint32_t BoxButtons(uint32_t style) { return style & 0x0Fu; }
constexpr uint32_t BoxIcon(uint32_t style) { return style & 0xF0u; }

// Button ids, as a box returns them.
inline constexpr uint32_t kIdOk = 1;
inline constexpr uint32_t kIdCancel = 2;
inline constexpr uint32_t kIdYes = 6;
inline constexpr uint32_t kIdNo = 7;
inline constexpr uint32_t kIdHelp = 9;
// The result of a box that was closed without a button (window closed, end of input, Ctrl-C).
// It is Cancel, the one answer after which no operation changes anything.
inline constexpr uint32_t kIdClosed = kIdCancel;

// The five button slots in display order, with their default labels.
struct BoxButtonSlot {
  uint32_t id;
  const char* label;
};
inline constexpr BoxButtonSlot kBoxButtonSlots[5] = {
    {kIdOk, "  OK  "}, {kIdYes, " はい "}, {kIdNo, "いいえ"}, {kIdCancel, "キャンセル"}, {kIdHelp, "ヘルプ"},
};

// The ids of the standard buttons a style shows, in display order: OK; Yes, No, Cancel; Yes, No;
// none for any other button value.
std::vector<uint32_t> BoxButtonIds(uint32_t style);
// The default label of a button id ("" for an id without a slot).
const char* BoxButtonLabel(uint32_t id);

// Which question a box asks, so that a front end can answer it ahead (the console's options)
// without reading its text: a reworded message must never change which question an answer
// goes to. A box that only informs is kNone. The windows ignore it.
enum class QuestionId : uint8_t {
  kNone,
  kSaveBeforeErase,    // save the sectors about to be erased first? (Yes / No / Cancel)
  kEraseConfirm,       // really erase? (Yes / No)
  kSharedMode,         // open the drive shared with the programs that hold it? (Yes / No)
  kImageWriteConfirm,  // start writing the image onto the disc? (Yes / No)
  kBenchmarkConfirm,   // run the benchmark? (Yes / No)
  kOverwriteFile,      // replace the file that has the chosen name? (Yes / No)
};

// A modal message box.
struct MessageBoxSpec {
  std::string text;     // the message; lines separated by "\r\n" or "\n"
  std::string caption;  // the window title
  uint32_t style = kBoxOk;
  std::string note;     // an optional line under the message, usually starting with "※"; "" = none
  int width = 0;        // box width in pixels; 0 lets the box size itself
  QuestionId question = QuestionId::kNone;
};

// A file name filter of a file choice: ("イメージファイル (*.ovi)", "*.ovi").
struct FileFilter {
  std::string description;
  std::string pattern;  // one or more patterns separated by ';'
};

// An open or save file choice.
struct FileChoiceSpec {
  std::string title;
  std::string defaultExtension;  // appended when the user types a name without one, no dot: "ovi"
  std::vector<FileFilter> filters;
};

// A modeless progress box: message, caption, one button, optional bar and a status line.
struct ProgressBoxSpec {
  std::string message;
  std::string caption;
  std::string buttonLabel;  // label of slot 0 (id 1); "" keeps "  OK  ", operations use "キャンセル"
  bool progressBar = false;
  int width = 0;            // pixels; 0 lets the box size itself
};

// What a worker thread may do to a progress box. Every call is safe from any thread and shows
// its effect at once; calls after the box was closed are ignored.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetStatus(std::string_view text) = 0;  // one line; "" clears it
  virtual void SetRange(uint32_t maximum) = 0;        // the bar runs from 0 to maximum
  virtual void SetPosition(uint32_t position) = 0;
};

// An open progress box, owned by the code that opened it (on the user-interface thread).
class ProgressBox : public ProgressSink {
 public:
  // False once the box is gone: the user closed it (its button, the window's close, Ctrl-C on a
  // console) or Close ran.
  virtual bool IsOpen() const = 0;
  // Closes the box and gives the owner window back its enabled state. Harmless when closed.
  virtual void Close() = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // Shows a modal box and returns the id of the button that closed it, or kIdClosed.
  virtual uint32_t ShowBox(const MessageBoxSpec& box) = 0;

  // File choices: 0 with `path` set to the chosen file, -1 when the user cancelled. `path`
  // comes in as the proposed name (may be empty). A save choice that names an existing file has
  // had the user agree to replace it (the window's dialog asks; the console asks kOverwriteFile).
  virtual int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) = 0;
  virtual int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) = 0;

  // Opens a progress box over the main window, which stays disabled while the box is open.
  // When the user asks the box to close, `onCloseRequest` runs on the user-interface thread
  // (inside ProcessMessages) and the box is closed. Returns null when the box cannot be opened.
  virtual std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& boxSpec,
                                                    std::function<void()> onCloseRequest) = 0;

  // Handles the messages that are waiting (user input, repaints, close requests). When none
  // waits, waits at most `idleMs` milliseconds for one. Returns false when the program was asked
  // to quit; the caller then stops pumping.
  virtual bool ProcessMessages(uint32_t idleMs) = 0;
};

}  // namespace orv

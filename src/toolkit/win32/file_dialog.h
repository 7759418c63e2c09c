// The file dialogs: open and save with a filter list built from (description, pattern) pairs.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace orv {

class FileDialog {
 public:
  // OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, and OFN_PATHMUSTEXIST |
  // OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY: the flags when the caller sets none.
  static constexpr DWORD kOpenFlags = 0x1804, kSaveFlags = 0x806;

  std::vector<std::pair<std::string, std::string>> filters;  // (description, pattern)
  std::string initialDirectory;  // empty: where the system last left off
  std::string fileTitle;         // the chosen file's name alone
  std::wstring chosenPath;       // the chosen path as the system gave it (any character)
  DWORD flags = 0;

  // 0 when the user chose a file (its full path is written to `path`, which also gives the
  // name the dialog starts with), -1 when the dialog was cancelled.
  int OpenFile(HWND owner, const std::string& title, const std::string& defaultExtension,
               std::string& path);
  int SaveFile(HWND owner, const std::string& title, const std::string& defaultExtension,
               std::string& path);

 private:
  int Run(bool save, HWND owner, const std::string& title, const std::string& defaultExtension,
          std::string& path);
};

}  // namespace orv

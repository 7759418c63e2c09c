#include "toolkit/win32/file_dialog.h"

#include <commdlg.h>

#include "toolkit/win32/wide.h"

namespace orv {

namespace {
constexpr size_t kPathChars = 1024;
constexpr size_t kTitleChars = 256;
}  // namespace

int FileDialog::OpenFile(HWND owner, const std::string& title, const std::string& defaultExtension,
                         std::string& path) {
  return Run(false, owner, title, defaultExtension, path);
}

int FileDialog::SaveFile(HWND owner, const std::string& title, const std::string& defaultExtension,
                         std::string& path) {
  return Run(true, owner, title, defaultExtension, path);
}

int FileDialog::Run(bool save, HWND owner, const std::string& title,
                    const std::string& defaultExtension, std::string& path) {
  // The filter list: description NUL pattern NUL ... NUL.
  std::wstring filterList;
  for (const auto& [description, pattern] : filters) {
    filterList += Widen(description);
    filterList += L'\0';
    filterList += Widen(pattern);
    filterList += L'\0';
  }
  filterList += L'\0';
  std::wstring file = Widen(path);
  file.resize(kPathChars, L'\0');
  file[kPathChars - 1] = L'\0';
  std::wstring name(kTitleChars, L'\0');
  const std::wstring caption = Widen(title);
  const std::wstring directory = Widen(initialDirectory);
  // The default extension is given the way callers write it ("*.iso"); the dialog wants it
  // without the star and the dot.
  std::wstring extension = Widen(defaultExtension);
  const size_t dot = extension.find_last_of(L'.');
  if (dot != std::wstring::npos) extension = extension.substr(dot + 1);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filters.empty() ? nullptr : filterList.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(kPathChars);
  ofn.lpstrFileTitle = name.data();
  ofn.nMaxFileTitle = static_cast<DWORD>(kTitleChars);
  ofn.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = flags ? flags : (save ? kSaveFlags : kOpenFlags);
  const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return -1;
  chosenPath = file.c_str();
  path = Narrow(chosenPath);
  fileTitle = Narrow(name.c_str());
  return 0;
}

}  // namespace orv

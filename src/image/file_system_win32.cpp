#include <windows.h>

#include "image/file_system.h"

namespace orv {

namespace {

int Failed(uint32_t* error) {
  if (error != nullptr) *error = static_cast<uint32_t>(::GetLastError());
  return -1;
}

// Closes the handle when it goes out of scope.
struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};

}  // namespace

int InspectFile(const std::filesystem::path& path, FileFacts& facts, uint32_t* error) {
  facts = FileFacts{};
  // No access asked beyond the attributes, any sharing: a file another program holds open is
  // still examined. The backup-semantics flag lets a folder be opened; links are followed.
  Handle file{::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return 0;
    return Failed(error);
  }
  switch (::GetFileType(file.h)) {
    case FILE_TYPE_CHAR:
      facts.kind = FileKind::kDevice;
      return 0;
    case FILE_TYPE_PIPE:
      facts.kind = FileKind::kPipe;
      return 0;
    case FILE_TYPE_DISK:
      break;
    default:
      facts.kind = FileKind::kOther;
      return 0;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.h, &info)) {
    // A volume or a whole disk opened by its device path answers as a disk but has no file
    // information.
    facts.kind = FileKind::kDevice;
    return 0;
  }
  facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory : FileKind::kRegular;
  facts.volume = info.dwVolumeSerialNumber;
  facts.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  if (facts.kind == FileKind::kRegular) facts.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return 0;
}

int CreateNewFile(const std::filesystem::path& path, uint32_t* error) {
  Handle file{::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)};
  return file.h == INVALID_HANDLE_VALUE ? Failed(error) : 0;
}

int SyncFile(const std::filesystem::path& path, uint32_t* error) {
  Handle file{::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return Failed(error);
  return ::FlushFileBuffers(file.h) ? 0 : Failed(error);
}

int RenameOnto(const std::filesystem::path& from, const std::filesystem::path& to, uint32_t* error) {
  // Write-through: the call returns once the rename is on the disk.
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return ::MoveFileExW(from.c_str(), to.c_str(), flags) ? 0 : Failed(error);
}

uint32_t LastSystemError() { return static_cast<uint32_t>(::GetLastError()); }

// The claim's byte: past any offset a file of this program reaches, so it locks no data.
constexpr DWORD kClaimOffsetHigh = 0xFFFFFFFFu;
constexpr DWORD kClaimOffsetLow = 0xFFFFFFFEu;

int FileClaim::Take(const std::filesystem::path& path) {
  Release();
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED at{};
  at.Offset = kClaimOffsetLow;
  at.OffsetHigh = kClaimOffsetHigh;
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    ::CloseHandle(h);
    return -1;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return 0;
}

void FileClaim::Release() {
  if (handle_ == -1) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // the lock goes with it
  handle_ = -1;
}

}  // namespace orv

#include <windows.h>

#include "toolkit/file_lock.h"

namespace orv {

namespace {

// Windows byte-range locks are mandatory: a locked byte cannot be read or written through any
// other handle. The lock therefore covers one byte far beyond the end of any disc image (4 EiB),
// which no read or write ever reaches.
constexpr DWORD kLockOffsetHigh = 0x40000000;

}  // namespace

FileLockResult FileLock::Take(const std::filesystem::path& path, bool exclusive, uint32_t* error) {
  Release();
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = static_cast<uint32_t>(::GetLastError());
    return FileLockResult::kFailed;
  }
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (!::LockFileEx(file, flags, 0, 1, 0, &at)) {
    const DWORD why = ::GetLastError();
    ::CloseHandle(file);
    if (why == ERROR_LOCK_VIOLATION || why == ERROR_SHARING_VIOLATION) return FileLockResult::kHeld;
    if (error != nullptr) *error = static_cast<uint32_t>(why);
    return FileLockResult::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return FileLockResult::kTaken;
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  // Unlocked first: a closed handle's locks are released only when the system gets to it.
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  ::UnlockFileEx(file, 0, 1, 0, &at);
  ::CloseHandle(file);
  handle_ = kNone;
}

}  // namespace orv

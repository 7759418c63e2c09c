// An advisory lock on a whole file, held for as long as the object lives: shared (any number of
// holders) or exclusive (one holder, no shared ones). It is what one process sees of another
// process's use of a file, the way a sharing violation shows a device another program opened.
// Every holder is one open of the file of its own, so two locks taken in one process exclude
// each other as two processes do. One OS file each (file_lock_posix.cpp: flock;
// file_lock_win32.cpp: LockFileEx), chosen by the build. A lock dies with its process, so a
// killed holder never leaves a file locked.
#pragma once

#include <cstdint>
#include <filesystem>

namespace orv {

enum class FileLockResult {
  kTaken,  // the lock is held
  kHeld,   // another holder's lock excludes this one; nothing is held
  kFailed, // the file could not be opened or locked; the system's code is in *error
};

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock on the existing file `path` without waiting, releasing any lock held before.
  FileLockResult Take(const std::filesystem::path& path, bool exclusive, uint32_t* error);
  void Release();
  bool Held() const { return handle_ != kNone; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // the descriptor or handle of the open that holds the lock
};

inline FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

}  // namespace orv

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "toolkit/file_lock.h"

namespace orv {

// flock, not fcntl: an fcntl lock belongs to the process (a second open in the same process
// neither conflicts with it nor survives its close), a flock lock to the open file description.
FileLockResult FileLock::Take(const std::filesystem::path& path, bool exclusive, uint32_t* error) {
  Release();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error != nullptr) *error = static_cast<uint32_t>(errno);
    return FileLockResult::kFailed;
  }
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    const int why = errno;
    ::close(fd);
    if (why == EWOULDBLOCK) return FileLockResult::kHeld;
    if (error != nullptr) *error = static_cast<uint32_t>(why);
    return FileLockResult::kFailed;
  }
  handle_ = fd;
  return FileLockResult::kTaken;
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  ::close(static_cast<int>(handle_));  // the lock goes with the last descriptor of its open
  handle_ = kNone;
}

}  // namespace orv

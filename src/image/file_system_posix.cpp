#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "image/file_system.h"

namespace orv {

namespace {

int Failed(uint32_t* error) {
  if (error != nullptr) *error = static_cast<uint32_t>(errno);
  return -1;
}

}  // namespace

int InspectFile(const std::filesystem::path& path, FileFacts& facts, uint32_t* error) {
  facts = FileFacts{};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    return Failed(error);
  }
  if (S_ISREG(st.st_mode)) {
    facts.kind = FileKind::kRegular;
  } else if (S_ISDIR(st.st_mode)) {
    facts.kind = FileKind::kDirectory;
  } else if (S_ISFIFO(st.st_mode)) {
    facts.kind = FileKind::kPipe;
  } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
    facts.kind = FileKind::kDevice;
  } else {
    facts.kind = FileKind::kOther;
  }
  facts.volume = static_cast<uint64_t>(st.st_dev);
  facts.index = static_cast<uint64_t>(st.st_ino);
  facts.size = facts.kind == FileKind::kRegular ? static_cast<uint64_t>(st.st_size) : 0;
  return 0;
}

int CreateNewFile(const std::filesystem::path& path, uint32_t* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return Failed(error);
  ::close(fd);
  return 0;
}

int SyncFile(const std::filesystem::path& path, uint32_t* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Failed(error);
  if (::fsync(fd) != 0) {
    const int code = errno;
    ::close(fd);
    errno = code;
    return Failed(error);
  }
  ::close(fd);
  return 0;
}

int RenameOnto(const std::filesystem::path& from, const std::filesystem::path& to, uint32_t* error) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Failed(error);
  // The new name is on the disk only once the folder is: sync it too (a folder that cannot be
  // opened or synced leaves the rename done, only less certain to survive a power cut).
  std::filesystem::path folder = to.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return 0;
}

int FileClaim::Take(const std::filesystem::path& path) {
  Release();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return -1;
  // The path must still name the file locked: another run may have removed it (as left behind)
  // between the open and the lock.
  struct stat held {}, named {};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 || ::lstat(path.c_str(), &named) != 0 ||
      held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
    ::close(fd);
    return -1;
  }
  handle_ = fd;
  return 0;
}

void FileClaim::Release() {
  if (handle_ < 0) return;
  ::close(static_cast<int>(handle_));  // the lock goes with it
  handle_ = -1;
}

uint32_t LastSystemError() { return static_cast<uint32_t>(errno); }

}  // namespace orv

// The few file-system facts and steps the image tools need beyond reading and writing bytes:
// what kind of thing a path names, whether two paths are one file, creating a file that must be
// new, forcing a file's data to the disk and renaming a file onto another in one step. One OS
// file each (file_system_posix.cpp, file_system_win32.cpp), chosen by the build.
//
// Failures return -1 and leave the system's own error code (errno on POSIX, GetLastError() on
// Windows: the codes DeviceHandle::LastError and SystemErrorText use) in *error.
#pragma once

#include <cstdint>
#include <filesystem>

namespace orv {

enum class FileKind {
  kMissing,    // nothing by that name
  kRegular,    // a plain file
  kDirectory,
  kPipe,       // a FIFO or named pipe
  kDevice,     // a character or block device ("/dev/sda", "NUL", "\\.\E:")
  kOther,      // a socket or anything else
};

struct FileFacts {
  FileKind kind = FileKind::kMissing;
  // Together name the file, whatever path reached it: st_dev and st_ino on POSIX, the volume
  // serial number and the file index on Windows.
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;  // bytes, for a regular file
};

// What `path` names, symbolic links followed. A missing file is 0 with kind kMissing; -1 when the
// path cannot be examined (no permission on a folder on the way, a name too long).
int InspectFile(const std::filesystem::path& path, FileFacts& facts, uint32_t* error);

// True when both name one existing file (the same device and inode, or volume and index).
inline bool SameFile(const FileFacts& a, const FileFacts& b) {
  return a.kind != FileKind::kMissing && b.kind != FileKind::kMissing && a.volume == b.volume &&
         a.index == b.index;
}

// Creates `path` as a new, empty file, failing when anything already has that name. 0 or -1.
int CreateNewFile(const std::filesystem::path& path, uint32_t* error);

// Writes the file's data and size from the system's cache to the disk (fsync, FlushFileBuffers)
// and returns when the disk has them. 0 or -1.
int SyncFile(const std::filesystem::path& path, uint32_t* error);

// Renames `from` onto `to` in one step: a file named `to` is replaced, never left half-written
// or missing. Both lie in one folder. 0 or -1.
int RenameOnto(const std::filesystem::path& from, const std::filesystem::path& to, uint32_t* error);

// A hold on a file this process is writing. The system drops it with the handle, also when the
// process is killed, so another run tells a file still being written from one a killed run left
// behind. It never stops anyone from reading, writing, renaming or removing the file (flock; on
// Windows a byte-range lock far past any data, with every sharing allowed).
class FileClaim {
 public:
  FileClaim() = default;
  ~FileClaim() { Release(); }
  FileClaim(const FileClaim&) = delete;
  FileClaim& operator=(const FileClaim&) = delete;

  // Claims the existing file `path` without waiting. 0, or -1 when another holds it or it
  // cannot be opened.
  int Take(const std::filesystem::path& path);
  void Release();

 private:
  intptr_t handle_ = -1;
};

// The system's error code of the calling thread's last failed call.
uint32_t LastSystemError();

}  // namespace orv

// The image file as the codec and the container see it: a seekable byte file opened by
// std::filesystem::path (so any file name works on Windows and Linux), read and written through
// the standard library's buffer, so that the codec's one-byte transfers cost no system call.
//
// A failed read, write or seek shows only in the counts and positions returned, never as an
// exception: the codec calls this from the streams' worker threads, where nothing may escape.
// LastError then holds the system's code for it (0 when there was none, as at the end of a file).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

namespace orv {

class BinaryFile {
 public:
  enum class Mode { kRead, kCreate };
  enum Origin { kBegin = 0, kCurrent = 1, kEnd = 2 };

  BinaryFile();
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  // kRead opens an existing regular file read-only (a folder, a pipe or a device is refused
  // before it is opened: a pipe would block and neither can be walked by offset); kCreate
  // creates or truncates a file for reading and writing. Returns 0 or -1.
  int Open(const std::filesystem::path& path, Mode mode);
  // 0, or -1 when the buffered data could not be written out.
  int Close();
  bool IsOpen() const { return buffer_.is_open(); }

  // Bytes moved (fewer than asked at the end of the file or on an error).
  int64_t Read(void* data, uint64_t count);
  int64_t Write(const void* data, uint64_t count);
  // One byte, or -1 at the end of the file or on an error: the codec's per-byte path.
  int ReadByte() {
    try {
      const auto c = buffer_.sbumpc();
      return c == std::filebuf::traits_type::eof() ? -1 : static_cast<int>(c);
    } catch (...) {
      NoteFailure();
      return -1;
    }
  }
  bool WriteByte(uint8_t value) {
    try {
      if (buffer_.sputc(static_cast<char>(value)) != std::filebuf::traits_type::eof()) return true;
    } catch (...) {
    }
    NoteFailure();
    return false;
  }
  // The new position, or -1.
  int64_t Seek(int64_t offset, int origin);
  int64_t Tell() { return Seek(0, kCurrent); }

  // The system's code for the last failure of this file (see above); 0 after a successful Open.
  uint32_t LastError() const { return lastError_; }

 private:
  void NoteFailure();

  std::filebuf buffer_;
  std::unique_ptr<char[]> storage_;
  uint32_t lastError_ = 0;
};

}  // namespace orv

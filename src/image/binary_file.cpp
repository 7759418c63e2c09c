#include "image/binary_file.h"

#include <algorithm>

#include "image/file_system.h"

namespace orv {

namespace {
// Large enough that a 128 KiB block costs a handful of system calls.
constexpr std::streamsize kBufferBytes = 64 * 1024;
}  // namespace

BinaryFile::BinaryFile() : storage_(new char[kBufferBytes]) {}

BinaryFile::~BinaryFile() { Close(); }

void BinaryFile::NoteFailure() { lastError_ = LastSystemError(); }

int BinaryFile::Open(const std::filesystem::path& path, Mode mode) {
  Close();
  lastError_ = 0;
  if (mode == Mode::kRead) {
    FileFacts facts;
    if (InspectFile(path, facts, &lastError_) != 0) return -1;
    if (facts.kind != FileKind::kRegular) return -1;
  }
  buffer_.pubsetbuf(storage_.get(), kBufferBytes);
  std::ios::openmode flags = std::ios::binary | std::ios::in;
  if (mode == Mode::kCreate) flags |= std::ios::out | std::ios::trunc;
  if (buffer_.open(path, flags) != nullptr) return 0;
  NoteFailure();
  return -1;
}

int BinaryFile::Close() {
  if (!buffer_.is_open()) return 0;
  try {
    if (buffer_.close() != nullptr) return 0;
  } catch (...) {
  }
  NoteFailure();
  return -1;
}

int64_t BinaryFile::Read(void* data, uint64_t count) {
  if (!IsOpen()) return -1;
  auto* out = static_cast<char*>(data);
  uint64_t done = 0;
  try {
    while (done < count) {
      std::streamsize piece = static_cast<std::streamsize>(std::min<uint64_t>(count - done, 1u << 30));
      std::streamsize got = buffer_.sgetn(out + done, piece);
      if (got <= 0) break;
      done += static_cast<uint64_t>(got);
      if (got < piece) break;
    }
  } catch (...) {
    // The library reports a failed read of the file as an exception: what came before it stands.
    NoteFailure();
  }
  return static_cast<int64_t>(done);
}

int64_t BinaryFile::Write(const void* data, uint64_t count) {
  if (!IsOpen()) return -1;
  const auto* in = static_cast<const char*>(data);
  uint64_t done = 0;
  try {
    while (done < count) {
      std::streamsize piece = static_cast<std::streamsize>(std::min<uint64_t>(count - done, 1u << 30));
      std::streamsize put = buffer_.sputn(in + done, piece);
      if (put > 0) done += static_cast<uint64_t>(put);
      if (put < piece) {
        NoteFailure();
        break;
      }
    }
  } catch (...) {
    NoteFailure();
  }
  return static_cast<int64_t>(done);
}

int64_t BinaryFile::Seek(int64_t offset, int origin) {
  if (!IsOpen()) return -1;
  std::ios::seekdir dir = origin == kBegin ? std::ios::beg : origin == kEnd ? std::ios::end : std::ios::cur;
  try {
    auto pos = buffer_.pubseekoff(offset, dir, std::ios::in | std::ios::out);
    if (pos != std::filebuf::pos_type(std::filebuf::off_type(-1))) return static_cast<int64_t>(pos);
  } catch (...) {
  }
  NoteFailure();
  return -1;
}

}  // namespace orv

#include "image/lh5_decode_stream.h"

#include <algorithm>

namespace orv {

Lh5DecodeStream::~Lh5DecodeStream() { Close(); }

int Lh5DecodeStream::Start() {
  if (thread_.joinable()) Close();
  const uint32_t ringSize = std::max<uint32_t>(2u << dictionaryBits, 65536);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ring_.Allocate(ringSize)) return -1;
  closed_ = false;
  runResult_ = 0;
  running_ = true;
  try {
    thread_ = std::thread(&Lh5DecodeStream::Worker, this);
  } catch (...) {
    running_ = false;
    ring_.Free();
    return -1;
  }
  return 0;
}

void Lh5DecodeStream::Worker() {
  const int result = DecodeSetup() != 0 ? -1 : Decode();
  DecodeFree();
  std::lock_guard<std::mutex> lock(mutex_);
  runResult_ = result;
  running_ = false;
  dataAdded_.notify_all();
}

// The worker's output: waits for room while the reader is there; once the reader has closed
// the stream the write comes back short and the decoder ends.
int64_t Lh5DecodeStream::WriteOutput(BinaryFile*, const uint8_t* buffer, uint32_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  uint32_t moved = 0;
  while (moved < count) {
    if (closed_) break;
    if (!ring_.Full()) {
      moved += ring_.Put(buffer + moved, count - moved);
      dataAdded_.notify_all();
      continue;
    }
    roomMade_.wait(lock, [&] { return !ring_.Full() || closed_; });
  }
  return moved;
}

int Lh5DecodeStream::Fail(int code) { throw Lh5Failure{code}; }

uint64_t Lh5DecodeStream::Read(uint64_t count, uint8_t* buffer) {
  std::unique_lock<std::mutex> lock(mutex_);
  uint64_t moved = 0;
  if (ring_.Size() == 0) return 0;
  auto canServe = [&] {
    return ring_.Fill() >= count - moved || ring_.Full() || (!running_ && ring_.Fill() > 0);
  };
  auto giveUp = [&] { return !running_ && ring_.Fill() == 0; };
  while (moved < count) {
    if (canServe()) {
      moved += ring_.Take(buffer + moved, count - moved);
      roomMade_.notify_all();
      continue;
    }
    dataAdded_.wait(lock, [&] { return canServe() || giveUp(); });
    if (giveUp()) break;
  }
  return moved;
}

int Lh5DecodeStream::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    roomMade_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  ring_.Free();
  return 0;
}

}  // namespace orv

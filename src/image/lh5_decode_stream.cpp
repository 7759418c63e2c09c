#include "image/lh5_decode_stream.h"

namespace orv {

Lh5DecodeStream::~Lh5DecodeStream() { Close(); }

int Lh5DecodeStream::Start() { return StartWorker(); }

int Lh5DecodeStream::Run() {
  const int result = DecodeSetup() != 0 ? -1 : Decode();
  DecodeFree();
  return result;
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

}  // namespace orv

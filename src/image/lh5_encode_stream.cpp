#include "image/lh5_encode_stream.h"

namespace orv {

Lh5EncodeStream::~Lh5EncodeStream() {
  abandoned_ = true;
  Close();
}

int Lh5EncodeStream::Start() {
  Close();
  abandoned_ = false;
  return StartWorker();
}

int Lh5EncodeStream::Run() {
  uncompressedSize = 0;
  compressedSize = 0;
  const int result = EncodeAlloc(method) < 0 ? -1 : Encode();
  EncodeFree();
  return result;
}

uint64_t Lh5EncodeStream::Write(uint64_t count, const uint8_t* data) {
  std::unique_lock<std::mutex> lock(mutex_);
  uint64_t moved = 0;
  while (moved < count) {
    if (ring_.Size() != 0 && !ring_.Full()) {
      moved += ring_.Put(data + moved, count - moved);
      dataAdded_.notify_all();
      continue;
    }
    roomMade_.wait(lock, [&] { return (ring_.Size() != 0 && !ring_.Full()) || !running_; });
    if (!running_) break;
  }
  return moved;
}

// The worker's input: whole windows while the caller is still writing, the rest once the stream
// is closed, 0 at the end.
int64_t Lh5EncodeStream::ReadInput(BinaryFile*, uint8_t* buffer, uint32_t count) {
  const uint32_t window = 1u << dictionaryBits;
  std::unique_lock<std::mutex> lock(mutex_);
  auto canServe = [&] { return ring_.Fill() >= window || (closed_ && ring_.Fill() > 0); };
  auto giveUp = [&] { return (closed_ && ring_.Fill() == 0) || abandoned_; };
  uint32_t moved = 0;
  while (moved < count) {
    if (abandoned_) break;
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

int64_t Lh5EncodeStream::WriteOutput(BinaryFile* handle, const uint8_t* buffer, uint32_t count) {
  if (abandoned_) return 0;
  return Lh5Codec::WriteOutput(handle, buffer, count);
}

int Lh5EncodeStream::Fail(int code) { throw Lh5Failure{code}; }

}  // namespace orv

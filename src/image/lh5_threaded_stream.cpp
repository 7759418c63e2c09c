#include "image/lh5_threaded_stream.h"

#include <algorithm>

namespace orv {

Lh5ThreadedStream::~Lh5ThreadedStream() { Close(); }

int Lh5ThreadedStream::StartWorker() {
  if (thread_.joinable()) Close();
  const uint32_t ringSize = std::max<uint32_t>(2u << dictionaryBits, 65536);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ring_.Allocate(ringSize)) return -1;
  closed_ = false;
  runResult_ = 0;
  running_ = true;
  try {
    thread_ = std::thread(&Lh5ThreadedStream::Work, this);
  } catch (...) {
    running_ = false;
    ring_.Free();
    return -1;
  }
  return 0;
}

void Lh5ThreadedStream::Work() {
  const int result = Run();
  std::lock_guard<std::mutex> lock(mutex_);
  runResult_ = result;
  running_ = false;
  dataAdded_.notify_all();
  roomMade_.notify_all();
}

int Lh5ThreadedStream::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dataAdded_.notify_all();
    roomMade_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  ring_.Free();
  return 0;
}

}  // namespace orv

// Lh5DecodeStream runs the LH5 decoder on a worker thread of its own: the worker reads one
// block's stream from the image file and expands it into a 64 KiB ring, from which the caller
// reads whole requests until the block's end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "image/byte_ring.h"
#include "image/lh5_codec.h"

namespace orv {

class Lh5DecodeStream : public Lh5Codec {
 public:
  Lh5DecodeStream() = default;
  ~Lh5DecodeStream() override;

  // Allocates the ring and starts the worker on uncompressedSize and compressedSize. 0 or -1.
  int Start();
  // Copies out of the ring, waiting for data. Fewer than count only at the end of the block's
  // data (the worker has stopped); 0 when nothing is left.
  uint64_t Read(uint64_t count, uint8_t* buffer);
  // Stops the worker (promptly, even with data not yet read), waits for it and frees the ring.
  // The input file is then positioned after the last compressed byte the decoder took. 0.
  int Close();
  // 0 when the last run produced all its bytes, else the Fail code that ended it. After Close.
  int RunResult() const { return runResult_; }

 protected:
  int64_t WriteOutput(BinaryFile* handle, const uint8_t* buffer, uint32_t count) override;
  int Fail(int code) override;

 private:
  void Worker();

  std::mutex mutex_;
  std::condition_variable roomMade_;
  std::condition_variable dataAdded_;
  ByteRing ring_;
  bool running_ = false;
  bool closed_ = false;
  int runResult_ = 0;
  std::thread thread_;
};

}  // namespace orv

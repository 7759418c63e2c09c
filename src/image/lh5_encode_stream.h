// Lh5EncodeStream runs the LH5 encoder on a worker thread of its own: the caller writes a
// block's bytes into a 64 KiB ring, the worker takes them a whole window (8 KiB) at a time,
// except at the end, and writes the compressed stream to the output file. Started once per
// block, closed at the end of the block.
#pragma once

#include <atomic>
#include <cstdint>

#include "image/lh5_threaded_stream.h"

namespace orv {

class Lh5EncodeStream : public Lh5ThreadedStream {
 public:
  Lh5EncodeStream() = default;
  // A stream destroyed while running is abandoned: the worker stops without writing more.
  ~Lh5EncodeStream() override;

  // Allocates the ring and starts the worker. 0 or -1.
  int Start();
  // Copies into the ring, waiting for room. Fewer than count only once the worker has stopped.
  uint64_t Write(uint64_t count, const uint8_t* data);
  // Close (of the base) marks the end of input and waits for the worker to write the rest of the
  // stream: the output file is then positioned right after the stream's last byte, and
  // compressedSize holds the stream's length.

 protected:
  int64_t ReadInput(BinaryFile* handle, uint8_t* buffer, uint32_t count) override;
  int64_t WriteOutput(BinaryFile* handle, const uint8_t* buffer, uint32_t count) override;
  int Fail(int code) override;
  int Run() override;

 private:
  std::atomic<bool> abandoned_{false};
};

}  // namespace orv

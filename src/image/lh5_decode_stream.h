// Lh5DecodeStream runs the LH5 decoder on a worker thread of its own: the worker reads one
// block's stream from the image file and expands it into a 64 KiB ring, from which the caller
// reads whole requests until the block's end.
#pragma once

#include <cstdint>

#include "image/lh5_threaded_stream.h"

namespace orv {

class Lh5DecodeStream : public Lh5ThreadedStream {
 public:
  Lh5DecodeStream() = default;
  ~Lh5DecodeStream() override;

  // Allocates the ring and starts the worker on uncompressedSize and compressedSize. 0 or -1.
  int Start();
  // Copies out of the ring, waiting for data. Fewer than count only at the end of the block's
  // data (the worker has stopped); 0 when nothing is left.
  uint64_t Read(uint64_t count, uint8_t* buffer);
  // Close (of the base) stops the worker promptly, even with data not yet read: the input file
  // is then positioned after the last compressed byte the decoder took.

 protected:
  int64_t WriteOutput(BinaryFile* handle, const uint8_t* buffer, uint32_t count) override;
  int Fail(int code) override;
  int Run() override;
};

}  // namespace orv

// The LH5 decoder alone, over memory: the first 4 bytes give the uncompressed size (up to
// 1 MiB), the rest is the stream. Whatever the stream, the decoder writes no more than the size
// and reads nothing outside its buffers.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "memory_input_codec.h"

namespace {

class MemoryCodec : public orv::fuzz::MemoryInputCodec {
 public:
  uint64_t written = 0;

 protected:
  int64_t WriteOutput(orv::BinaryFile*, const uint8_t*, uint32_t count) override {
    written += count;
    if (written > uncompressedSize) std::abort();
    return count;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  MemoryCodec codec;
  codec.uncompressedSize = (data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24) & 0xFFFFF;
  codec.in = data + 4;
  codec.inSize = size - 4;
  codec.compressedSize = codec.inSize;
  if (codec.DecodeSetup() != 0) return 0;
  if (codec.Decode() == 0 && codec.written != codec.uncompressedSize) std::abort();
  return 0;
}

// The LH5 decoder alone, over memory: the first 4 bytes give the uncompressed size (up to
// 1 MiB), the rest is the stream. Whatever the stream, the decoder writes no more than the size
// and reads nothing outside its buffers.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/lh5_codec.h"

namespace {

class MemoryCodec : public orv::Lh5Codec {
 public:
  const uint8_t* in = nullptr;
  size_t inSize = 0;
  size_t inPos = 0;
  uint64_t written = 0;

 protected:
  int64_t ReadInput(orv::BinaryFile*, uint8_t* buffer, uint32_t count) override {
    const size_t n = count < inSize - inPos ? count : inSize - inPos;
    if (n != 0) std::memcpy(buffer, in + inPos, n);
    inPos += n;
    return static_cast<int64_t>(n);
  }
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

// An LH5 codec whose compressed input is a buffer in memory, for the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/lh5_codec.h"

namespace orv::fuzz {

class MemoryInputCodec : public Lh5Codec {
 public:
  const uint8_t* in = nullptr;
  size_t inSize = 0;
  size_t inPos = 0;

 protected:
  int64_t ReadInput(BinaryFile*, uint8_t* buffer, uint32_t count) override {
    const size_t n = count < inSize - inPos ? count : inSize - inPos;
    if (n != 0) std::memcpy(buffer, in + inPos, n);
    inPos += n;
    return static_cast<int64_t>(n);
  }
};

}  // namespace orv::fuzz

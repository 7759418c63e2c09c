// The checksum of an image block: CRC-32 over the block's uncompressed bytes, polynomial
// 0x04C11DB7 processed most-significant bit first (no reflection), initial value 0xFFFFFFFF,
// final value complemented (the CRC-32/BZIP2 parameters). The header field holds Value().
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

class BlockCrc {
 public:
  void Reset() { crc_ = 0xFFFFFFFFu; }
  void Update(const uint8_t* data, size_t count);
  // As Update over `count` zero bytes, in time that grows with the logarithm of the count: a
  // disc's empty stretches are checksummed without touching their bytes again.
  void UpdateZeros(uint64_t count);
  uint32_t Value() const { return ~crc_; }

 private:
  uint32_t crc_ = 0xFFFFFFFFu;
};

}  // namespace orv

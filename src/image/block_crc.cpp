#include "image/block_crc.h"

#include <array>

namespace orv {

namespace {

constexpr std::array<uint32_t, 256> MakeBlockCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kBlockCrcTable = MakeBlockCrcTable();

}  // namespace

void BlockCrc::Update(const uint8_t* data, size_t count) {
  uint32_t crc = crc_;
  for (size_t i = 0; i < count; ++i) crc = kBlockCrcTable[(crc >> 24) ^ data[i]] ^ (crc << 8);
  crc_ = crc;
}

}  // namespace orv

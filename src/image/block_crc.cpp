#include "image/block_crc.h"

#include <array>

namespace orv {

namespace {

// kTables[0] is the byte-at-a-time table; kTables[k][i] is the remainder of byte i followed by
// k zero bytes, so that eight bytes fold into the register with eight lookups and no carried
// dependency between them (slicing by 8).
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeBlockCrcTables() {
  CrcTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    tables[0][i] = r;
  }
  for (size_t k = 1; k < tables.size(); ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous << 8) ^ tables[0][previous >> 24];
    }
  }
  return tables;
}

constexpr CrcTables kTables = MakeBlockCrcTables();

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The register as a vector over GF(2): a zero byte is a linear map of it, held as the images of
// its 32 unit vectors (column b: where bit b goes).
using Gf2Matrix = std::array<uint32_t, 32>;

uint32_t Apply(const Gf2Matrix& m, uint32_t v) {
  uint32_t out = 0;
  for (int b = 0; v != 0; ++b, v >>= 1)
    if (v & 1u) out ^= m[b];
  return out;
}

Gf2Matrix Square(const Gf2Matrix& m) {
  Gf2Matrix out{};
  for (int b = 0; b < 32; ++b) out[b] = Apply(m, m[b]);
  return out;
}

}  // namespace

void BlockCrc::Update(const uint8_t* data, size_t count) {
  uint32_t crc = crc_;
  for (; count >= 8; data += 8, count -= 8) {
    const uint32_t high = crc ^ BigEndian32(data), low = BigEndian32(data + 4);
    crc = kTables[7][high >> 24] ^ kTables[6][(high >> 16) & 0xFF] ^ kTables[5][(high >> 8) & 0xFF] ^
          kTables[4][high & 0xFF] ^ kTables[3][low >> 24] ^ kTables[2][(low >> 16) & 0xFF] ^
          kTables[1][(low >> 8) & 0xFF] ^ kTables[0][low & 0xFF];
  }
  for (; count != 0; ++data, --count) crc = kTables[0][(crc >> 24) ^ *data] ^ (crc << 8);
  crc_ = crc;
}

void BlockCrc::UpdateZeros(uint64_t count) {
  Gf2Matrix power{};  // one zero byte
  for (int b = 0; b < 32; ++b) {
    const uint32_t v = 1u << b;
    power[b] = kTables[0][v >> 24] ^ (v << 8);
  }
  uint32_t crc = crc_;
  for (; count != 0; count >>= 1) {
    if (count & 1u) crc = Apply(power, crc);
    if (count > 1) power = Square(power);
  }
  crc_ = crc;
}

}  // namespace orv

// CRC-16 of the uncompressed bytes an LH5 stream carries, as LHA archives store it:
// polynomial 0x8005 processed least-significant bit first (0xA001 reflected), initial value 0,
// no final XOR (the CRC-16/ARC parameters).
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t count);

}  // namespace orv

// Multi-byte fields of drive answers, command blocks and image files are read and written
// through these helpers, never by casting a pointer: the fields are unaligned, and drives speak
// big-endian while the image file is little-endian.
#pragma once

#include <cstdint>

namespace orv {

inline uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t GetBe24(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }
inline uint32_t GetBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint64_t GetBe64(const uint8_t* p) { return uint64_t{GetBe32(p)} << 32 | GetBe32(p + 4); }

inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[1] << 8 | p[0]); }
inline uint32_t GetLe32(const uint8_t* p) {
  return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}
inline uint64_t GetLe64(const uint8_t* p) { return uint64_t{GetLe32(p + 4)} << 32 | GetLe32(p); }

inline void PutBe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline void PutBe24(uint8_t* p, uint32_t v) { p[0] = uint8_t(v >> 16); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v); }
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline void PutBe64(uint8_t* p, uint64_t v) { PutBe32(p, uint32_t(v >> 32)); PutBe32(p + 4, uint32_t(v)); }

inline void PutLe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void PutLe64(uint8_t* p, uint64_t v) { PutLe32(p, uint32_t(v)); PutLe32(p + 4, uint32_t(v >> 32)); }

}  // namespace orv

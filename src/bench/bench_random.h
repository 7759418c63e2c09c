// The benchmark's random addresses: the classic linear congruential generator
// x = x * 214013 + 2531011 (32 bits, wrapping), giving (x >> 16) & 7FFFh. A run owns one and it
// starts at 1, as the generator of a fresh thread does; the random seek uses it as it stands,
// and every transfer measurement seeds it with 0 first, so a run visits the same addresses on
// the same medium every time and every region and size of the random transfer the same ones.
#pragma once

#include <cstdint>

namespace orv {

class BenchRandom {
 public:
  static constexpr uint32_t kRange = 32768;  // results are 0 .. kRange - 1

  void Seed(uint32_t seed) { x_ = seed; }
  uint32_t Next() {
    x_ = x_ * 214013u + 2531011u;
    return (x_ >> 16) & 0x7FFFu;
  }

 private:
  uint32_t x_ = 1;
};

}  // namespace orv

// The clock the operations take elapsed times and transfer rates from. It is monotonic: the
// calendar clock jumps when the system time is set (by the user, or by a time service while a
// long write runs), and an elapsed time taken from it can come out negative or hours long. Tests
// give an operation a clock of their own to drive its estimates to exact values.
#pragma once

#include <cstdint>

namespace orv {

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  // Milliseconds from an arbitrary start; never decreases.
  virtual uint64_t NowMs() = 0;
  // Microseconds from the same start: what times a single transfer of a few milliseconds.
  virtual uint64_t NowUs() { return NowMs() * 1000; }
};

// The system's monotonic clock (std::chrono::steady_clock), shared by every caller.
MonotonicClock& SteadyClock();

}  // namespace orv

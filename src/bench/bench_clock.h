// The clock a benchmark times with, and the pauses it takes before a measurement.
//
// Times come from a monotonic clock in microseconds: the calendar clock jumps when the system
// time is set (by the user or a time service, in the middle of a 3-second measurement), and a
// millisecond clock cannot time 128 commands of a few hundred microseconds each. Tests give a
// run a clock that a virtual drive's timing model advances, so a run takes no real time and its
// values are known exactly.
#pragma once

#include <cstdint>

namespace orv {

class BenchClock {
 public:
  virtual ~BenchClock() = default;
  // Microseconds from an arbitrary start. A clock that goes back fails the measurement.
  virtual int64_t NowMicroseconds() = 0;
  // Waits `milliseconds` outside the timed span, so the drive settles after a seek (100 ms)
  // and before a transfer measurement (500 ms).
  virtual void Pause(uint32_t milliseconds) = 0;
};

// The system's monotonic clock and a real sleep; one object shared by every run.
BenchClock& SteadyBenchClock();

}  // namespace orv

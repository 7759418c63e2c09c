#include "bench/bench_clock.h"

// std::chrono reached through <thread>: <chrono> itself does not compile with the CP932
// execution charset.
#include <thread>

namespace orv {

namespace {

class SteadyClock final : public BenchClock {
 public:
  int64_t NowMicroseconds() override {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  }
  void Pause(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

BenchClock& SteadyBenchClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace orv

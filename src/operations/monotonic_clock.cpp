#include "operations/monotonic_clock.h"

#include <thread>  // std::chrono's clocks: <chrono> itself does not compile with a CP932 execution charset

namespace orv {

namespace {

class Steady : public MonotonicClock {
 public:
  uint64_t NowMs() override {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }
  uint64_t NowUs() override {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
  }
};

}  // namespace

MonotonicClock& SteadyClock() {
  static Steady clock;
  return clock;
}

}  // namespace orv

// The timing model of a virtual drive: how long a real drive of the preset would take for one
// command, so a benchmark on a virtual drive shows believable figures in a demo.
#pragma once

#include <atomic>
#include <cstdint>

#include "vdrive/presets.h"

namespace orv {

// The head's position between commands, in blocks.
struct HeadPosition {
  uint64_t lba = 0;
};

// The media transfer rate, 10^6 bytes per second, where block `lba` of `mediumBlocks` lies. At
// a constant angular velocity the rate follows the radius; blocks lie at one density along the
// spiral, so the area read grows linearly with the block number and the radius with its root.
double TransferRateMBps(const TimingModel& model, uint64_t mediumBlocks, double lba);

// Milliseconds for one command: the overhead always; for a command that addresses blocks
// (`addressed`), a seek growing with the square root of the distance from the head plus half a
// turn of latency when the head moves, and the transfer of `blocks` blocks. Moves the head to
// the block after the last one addressed. The transfer runs at the rate of its middle block.
double CommandDelayMs(const TimingModel& model, uint64_t mediumBlocks, uint32_t blockLength, HeadPosition& head,
                      bool addressed, uint64_t lba, uint32_t blocks);

// The whole microseconds a command of `ms` milliseconds takes: what a drive with timing sleeps,
// or advances its simulated clock by. Fractions of a microsecond are dropped.
int64_t DelayMicroseconds(double ms);

// A clock that virtual drives advance by the time each command takes instead of sleeping, so a
// benchmark against them takes no real time and its values follow from the timing model
// exactly. Several drives and threads may share one.
class SimulatedClock {
 public:
  int64_t NowMicroseconds() const { return now_.load(std::memory_order_acquire); }
  void Advance(int64_t microseconds) { now_.fetch_add(microseconds, std::memory_order_acq_rel); }

 private:
  std::atomic<int64_t> now_{0};
};

}  // namespace orv

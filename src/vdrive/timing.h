// The timing model of a virtual drive: how long a real drive of the preset would take for one
// command, so a benchmark on a virtual drive shows believable figures in a demo.
#pragma once

#include <cstdint>

#include "vdrive/presets.h"

namespace orv {

// The head's position between commands, in blocks.
struct HeadPosition {
  uint64_t lba = 0;
};

// Milliseconds for one command: the overhead always; for a command that addresses blocks
// (`addressed`), a seek growing with the square root of the distance from the head plus half a
// turn of latency when the head moves, and the transfer of `blocks` blocks. Moves the head to
// the block after the last one addressed.
double CommandDelayMs(const TimingModel& model, uint64_t mediumBlocks, uint32_t blockLength, HeadPosition& head,
                      bool addressed, uint64_t lba, uint32_t blocks);

}  // namespace orv

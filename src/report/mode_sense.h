// The mode sense sections: a head section with the whole MODE SENSE answer, the first block
// descriptor, and one section per mode page in the order the drive returned them.
#pragma once

#include <cstdint>
#include <span>

#include "report/report.h"

namespace orv {

// Adds the sections of one MODE SENSE answer. `commandLength` (6 or 10) tells the header form;
// `answer` is the whole answer buffer as the command left it (zero-filled before the command),
// and nothing outside it is read even when the header claims more. `inquiry` is the drive's
// standard INQUIRY data, possibly empty. A mode data length of 0 or above 4096 adds nothing.
void AddModeSenseAnswer(DriveReport& report, int commandLength, std::span<const uint8_t> answer,
                        std::span<const uint8_t> inquiry);

// True when a MODE SENSE(6) answer must be asked again with MODE SENSE(10): some drives answer
// the six-byte command with a mode data length above 6 and an empty first page.
bool ModeSense6AnswerIsEmpty(std::span<const uint8_t> answer);

}  // namespace orv

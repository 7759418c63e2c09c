// The configuration sections: the GET CONFIGURATION answer (MMC) as a head section with its
// hex dump, and one section per feature descriptor with the feature's name, the profile list
// and the core feature decoded, every other feature's data dumped.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "report/report.h"

namespace orv {

// Name of a feature code, of a profile number, of a physical interface standard; the empty
// name for values without one.
const char* FeatureName(uint16_t code);
const char* ProfileName(uint16_t profile);
const char* PhysicalInterfaceName(uint32_t standard);

// Adds the sections of one GET CONFIGURATION answer. `answer` is what the buffer holds; a data
// length that claims more is followed only as far as the answer goes, and a descriptor that
// runs past the answer is shown with the bytes that were received and ends the walk.
void AddConfigurationAnswer(DriveReport& report, std::span<const uint8_t> answer);

}  // namespace orv

// Media faults of a virtual disc, for trying what a program does with a disc that does not read
// back cleanly: written after the image path of a drive list entry, each behind a ':'.
//   bad=FIRST+COUNT        every read touching those sectors fails (MEDIUM ERROR, unrecovered
//                          read error), every time
//   weak=FIRST+COUNT+TRIES each of those sectors fails the first TRIES reads touching it, then reads
//   slow=FIRST+COUNT+MS    each read touching those sectors takes MS milliseconds longer
// Writes are not affected.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/medium.h"

namespace orv {

struct MediumFault {
  enum class Kind { kBad, kWeak, kSlow };
  Kind kind = Kind::kBad;
  uint64_t first = 0;
  uint64_t count = 0;
  uint32_t value = 0;  // weak: the failing tries; slow: milliseconds
};

// 1 with the fault parsed from `text` ("bad=1000+16"), 0 when `text` names no fault kind (it is
// part of a file name then), -1 with a message when it names one but is malformed.
int ParseMediumFault(std::string_view text, MediumFault& fault, std::string& error);
// The fault as it is written ("weak=5+2+3").
std::string MediumFaultText(const MediumFault& fault);

// `medium` with the faults; the medium itself when there are none.
std::unique_ptr<Medium> WithMediumFaults(std::unique_ptr<Medium> medium, std::vector<MediumFault> faults);

}  // namespace orv

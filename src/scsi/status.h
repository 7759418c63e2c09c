// SCSI status bytes (SAM): what the target answers at the end of a command, before any sense.
#pragma once

#include <cstdint>

namespace orv {

inline constexpr uint8_t kScsiStatusGood = 0x00;
inline constexpr uint8_t kScsiStatusCheckCondition = 0x02;  // sense data tells why
inline constexpr uint8_t kScsiStatusBusy = 0x08;
inline constexpr uint8_t kScsiStatusReservationConflict = 0x18;

}  // namespace orv

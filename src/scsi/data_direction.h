// The direction of a command's data phase, as the initiator states it and the target sees it.
#pragma once

#include <cstdint>

namespace orv {

enum class DataDirection : uint8_t {
  kNone,  // no data moves (TEST UNIT READY, SEEK, a zero transfer length)
  kIn,    // from the drive to the host
  kOut,   // from the host to the drive
};

}  // namespace orv

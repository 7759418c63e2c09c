// The address every SCSI command goes to: path id (the bus behind the port), target id and
// logical unit number, one byte each as the pass-through request carries them.
#pragma once

#include <cstdint>

namespace orv {

struct UnitAddress {
  uint8_t pathId = 0;
  uint8_t targetId = 0;
  uint8_t lun = 0;

  friend bool operator==(const UnitAddress&, const UnitAddress&) = default;
};

}  // namespace orv

// What one SCSI command looks like to the target side of the virtual drive: the CDB, the data
// phase, and the answer (status, fixed-format sense, bytes moved).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "scsi/data_direction.h"
#include "scsi/sense.h"
#include "scsi/status.h"

namespace orv {

// The target's answer to one command.
struct CommandOutcome {
  uint8_t status = kScsiStatusGood;
  SenseData sense{};
  uint32_t senseLength = 0;  // kFixedSenseLength with CHECK CONDITION, else 0
  uint32_t transferred = 0;  // bytes moved in the data phase
  // The pass-through call itself fails with this system error code, and nothing of the answer
  // goes back: how a drive replayed from a trace repeats a call that failed there.
  std::optional<uint32_t> systemError;
};

// One command in flight, handed to a command handler. The handler answers through Fail(),
// SendData() (data in) or by reading `buffer` (data out) and setting `transferred`.
struct CommandContext {
  std::span<const uint8_t> cdb;
  DataDirection direction = DataDirection::kNone;
  uint8_t* buffer = nullptr;    // the initiator's data buffer
  uint32_t bufferLength = 0;    // bytes the initiator offers (DataTransferLength)
  CommandOutcome outcome;

  uint8_t Opcode() const { return cdb.empty() ? 0 : cdb[0]; }
  // CHECK CONDITION with fixed-format sense.
  void Fail(SenseCode code);
  bool Failed() const { return outcome.status != kScsiStatusGood; }
  // Data in: copies min(answer, allocationLength, bufferLength) bytes, the SPC rule for an
  // answer longer or shorter than the allocation length. Returns the bytes copied.
  uint32_t SendData(std::span<const uint8_t> answer, uint32_t allocationLength);
};

}  // namespace orv

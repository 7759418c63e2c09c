// What became of one SCSI command, as one category. The command set decides on the category
// (reissue, fail, succeed); callers that need to say why a command failed read it too. Sense
// bytes never travel further than this classification.
#pragma once

#include <cstdint>
#include <span>

namespace orv {

enum class ScsiOutcome : uint8_t {
  kGood,            // status GOOD
  kNotReady,        // NOT READY, other than no medium (becoming ready, format in progress...)
  kNoMedium,        // NOT READY, medium not present (3Ah)
  kUnitAttention,   // additional sense code 28h or 23h: not carried out, send it again
  kIllegalRequest,  // ILLEGAL REQUEST: opcode, field or address the drive refuses
  kMediumError,     // MEDIUM ERROR: the disc could not be read or written there
  kTransportError,  // the pass-through call itself failed: the command may not have reached the drive
  kOtherFailure,    // any other status or sense, or CHECK CONDITION without usable sense
};

// Classifies one command. `delivered` is false when the system call failed (then status and
// sense are not looked at). Sense is the fixed-format area as the driver left it, cleared
// before the command went out; its codes count only when it states an additional length of
// 10 or more (the whole 18-byte format). ASC 28h and 23h make a unit attention whatever the
// key and qualifier say; unit attentions with other codes (a reset, 29h) are kOtherFailure.
ScsiOutcome ClassifyOutcome(bool delivered, uint8_t status, std::span<const uint8_t> sense);

}  // namespace orv

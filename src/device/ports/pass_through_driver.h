// What a port driver does with IOCTL_SCSI_PASS_THROUGH(_DIRECT), on the system buffer that holds
// the caller's input and has room for its output: check the request before the command runs,
// fill status, bytes moved and sense length in after it, and count the bytes given back. The
// Linux port (SG_IO) and the virtual port both carry requests through these two functions, so
// a request the Windows driver refuses is refused everywhere.
#pragma once

#include <cstdint>

#include "device/ports/pass_through.h"
#include "scsi/data_direction.h"

namespace orv {

// A request that passed the check, with where its command reads and writes.
struct CheckedPassThrough {
  ScsiPassThroughHeader header{};            // as the caller filled it
  DataDirection direction = DataDirection::kNone;  // kNone when DataTransferLength is 0
  uint8_t* data = nullptr;   // the data area: inside the system buffer (buffered form) or the
                             // caller's buffer (direct form); null when no data moves
  uint8_t* sense = nullptr;  // the sense area inside the system buffer; null when none is asked
};

// Checks the request at the start of `system` (`inLength` bytes of input given, `outLength`
// bytes of output room). 0, or -1 when it is malformed: input shorter than the header, a
// Length field other than the header size, a CDB length of 0 or above 16, a sense area that
// does not end inside the output, a buffered data area that does not lie inside the output
// (data in) or the input (data out) past the header, a direct data buffer that is null or not
// aligned to `alignmentMask` + 1 bytes. DataIn 0 is data out; 1 and every other value data in,
// the direction that cannot put stale memory on a disc.
int CheckPassThrough(uint8_t* system, uint32_t inLength, uint32_t outLength, bool direct, uint32_t alignmentMask,
                     CheckedPassThrough& checked);

// After the command ran: puts `status`, the bytes moved (at most DataTransferLength) and the
// sense bytes returned (at most SenseInfoLength) into the header at the start of `system`, and
// returns the bytes of the system buffer the driver gives back: up to the end of the data
// moved in (buffered form), else up to the end of the sense returned, else the header.
uint32_t CompletePassThrough(uint8_t* system, bool direct, uint8_t status, uint32_t moved, uint32_t senseLength);

}  // namespace orv

#include "device/ports/linux_sg.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "device/ports/pass_through_driver.h"

namespace orv {

int BuildSgIo(uint8_t* request, uint32_t inLength, uint32_t outLength, bool direct, sg_io_hdr_t& io) {
  CheckedPassThrough checked;
  // No alignment demand of its own: the kernel bounces what the adapter cannot take.
  if (CheckPassThrough(request, inLength, outLength, direct, 0, checked) != 0) return EINVAL;
  const ScsiPassThroughHeader& h = checked.header;

  std::memset(&io, 0, sizeof io);
  io.interface_id = 'S';
  io.cmd_len = h.cdbLength;
  io.cmdp = request + offsetof(ScsiPassThroughHeader, cdb);
  io.mx_sb_len = h.senseInfoLength;
  io.sbp = checked.sense;
  io.dxfer_len = h.dataTransferLength;
  switch (checked.direction) {
    case DataDirection::kNone: io.dxfer_direction = SG_DXFER_NONE; break;
    case DataDirection::kIn: io.dxfer_direction = SG_DXFER_FROM_DEV; break;
    case DataDirection::kOut: io.dxfer_direction = SG_DXFER_TO_DEV; break;
  }
  io.dxferp = checked.data;
  // Seconds to milliseconds, without overflowing the 32-bit field.
  const uint64_t ms = uint64_t{h.timeOutValue} * 1000u;
  io.timeout = ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(ms);
  return 0;
}

int CompleteSgIo(const sg_io_hdr_t& io, uint8_t* request, bool direct, uint32_t& bytesReturned) {
  bytesReturned = 0;
  // host_status non-zero: the adapter could not deliver the command; the low three bits of
  // driver_status: the driver failed it (DRIVER_SENSE, 08h, only says sense is present).
  if (io.host_status != 0 || (io.driver_status & 0x07) != 0) return EIO;
  const int moved = static_cast<int>(io.dxfer_len) - io.resid;
  bytesReturned = CompletePassThrough(request, direct, io.status, moved < 0 ? 0 : static_cast<uint32_t>(moved),
                                      io.sb_len_wr);
  return 0;
}

}  // namespace orv

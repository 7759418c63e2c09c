#include "device/ports/linux_sg.h"

#include <cerrno>
#include <cstring>

#include "device/ports/pass_through.h"

namespace orv {

namespace {

ScsiPassThroughHeader ReadHeader(const uint8_t* request) {
  ScsiPassThroughHeader h;
  std::memcpy(&h, request, sizeof h);
  return h;
}

}  // namespace

int BuildSgIo(uint8_t* request, uint32_t inLength, uint32_t outLength, bool direct, sg_io_hdr_t& io) {
  if (request == nullptr || inLength < kRequestHeaderSize) return EINVAL;
  const ScsiPassThroughHeader h = ReadHeader(request);
  if (h.length != kRequestHeaderSize || h.cdbLength == 0 || h.cdbLength > sizeof h.cdb) return EINVAL;
  if (h.senseInfoLength != 0 &&
      (h.senseInfoOffset < kRequestHeaderSize || h.senseInfoOffset > outLength ||
       outLength - h.senseInfoOffset < h.senseInfoLength))
    return EINVAL;

  std::memset(&io, 0, sizeof io);
  io.interface_id = 'S';
  io.cmd_len = h.cdbLength;
  io.cmdp = request + offsetof(ScsiPassThroughHeader, cdb);
  io.mx_sb_len = h.senseInfoLength;
  io.sbp = h.senseInfoLength != 0 ? request + h.senseInfoOffset : nullptr;
  io.dxfer_len = h.dataTransferLength;
  if (h.dataTransferLength == 0) {
    io.dxfer_direction = SG_DXFER_NONE;
  } else if (h.dataIn == kScsiDataOut) {
    io.dxfer_direction = SG_DXFER_TO_DEV;
  } else if (h.dataIn == kScsiDataIn) {
    io.dxfer_direction = SG_DXFER_FROM_DEV;
  } else {
    // Unspecified direction: the Windows drivers treat it as data in.
    io.dxfer_direction = SG_DXFER_FROM_DEV;
  }
  if (h.dataTransferLength != 0) {
    if (direct) {
      if (h.dataBuffer == 0) return EINVAL;
      io.dxferp = reinterpret_cast<void*>(h.dataBuffer);
    } else {
      // The data area must lie inside the request: in the output for data in, the input for
      // data out.
      const uint32_t limit = h.dataIn == kScsiDataOut ? inLength : outLength;
      if (h.dataBuffer < kRequestHeaderSize || h.dataBuffer > limit || limit - h.dataBuffer < h.dataTransferLength)
        return EINVAL;
      io.dxferp = request + h.dataBuffer;
    }
  }
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
  ScsiPassThroughHeader h = ReadHeader(request);
  h.scsiStatus = io.status;
  const int moved = static_cast<int>(io.dxfer_len) - io.resid;
  h.dataTransferLength = moved < 0 ? 0 : static_cast<uint32_t>(moved);
  h.senseInfoLength = io.sb_len_wr < h.senseInfoLength ? io.sb_len_wr : h.senseInfoLength;
  std::memcpy(request, &h, sizeof h);
  // As the Windows driver counts: up to the end of the data moved in, else of the sense
  // returned, else the header.
  if (!direct && h.dataIn == kScsiDataIn && h.dataTransferLength != 0)
    bytesReturned = static_cast<uint32_t>(h.dataBuffer) + h.dataTransferLength;
  else if (h.senseInfoLength != 0)
    bytesReturned = h.senseInfoOffset + h.senseInfoLength;
  else
    bytesReturned = kRequestHeaderSize;
  return 0;
}

}  // namespace orv

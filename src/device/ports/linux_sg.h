// Translation between a pass-through request and the Linux SCSI generic interface (SG_IO):
// pure functions, so the translation is tested without a drive.
#pragma once

#include <scsi/sg.h>

#include <cstdint>

namespace orv {

// Fills `io` from the request in `request` (inLength bytes given, outLength bytes of output
// room), buffered (data area inside the request) or direct (data at the DataBuffer address).
// 0, or an errno value (EINVAL) when the request is malformed as a port driver would judge it.
int BuildSgIo(uint8_t* request, uint32_t inLength, uint32_t outLength, bool direct, sg_io_hdr_t& io);

// After ioctl(SG_IO) succeeded: puts the SCSI status, the sense bytes and the bytes moved back
// into the request the way the Windows driver fills them, and computes the bytes returned.
// 0, or an errno value (EIO) when the host adapter or the driver reported an error: the
// command did not reach the drive, which is a failed call as on Windows.
int CompleteSgIo(const sg_io_hdr_t& io, uint8_t* request, bool direct, uint32_t& bytesReturned);

}  // namespace orv

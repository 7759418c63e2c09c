// The pass-through request as the operating system's SCSI port driver reads it, and the five
// device I/O control codes the program sends. Both sides of the seam use these: the command set
// fills a request, a port carries it (DeviceIoControl, SG_IO, or the virtual drive).
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// Published Windows device I/O control codes. The Linux and virtual ports answer the same codes.
inline constexpr uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
inline constexpr uint32_t kIoctlScsiGetInquiryData = 0x0004100C;
inline constexpr uint32_t kIoctlScsiGetAddress = 0x00041018;
inline constexpr uint32_t kIoctlScsiPassThrough = 0x0004D004;
inline constexpr uint32_t kIoctlScsiPassThroughDirect = 0x0004D014;

// DataIn values of the request header.
inline constexpr uint8_t kScsiDataOut = 0;
inline constexpr uint8_t kScsiDataIn = 1;
inline constexpr uint8_t kScsiDataUnspecified = 2;

// Byte sizes of the fixed I/O control answers.
inline constexpr uint32_t kDiskGeometrySize = 24;   // DISK_GEOMETRY
inline constexpr uint32_t kScsiAddressSize = 8;     // SCSI_ADDRESS
inline constexpr uint32_t kAdapterInquirySize = 4096;  // buffer given to the adapter inquiry

// SCSI_PASS_THROUGH and SCSI_PASS_THROUGH_DIRECT share this layout; `dataBuffer` is the offset
// of the data area inside the request (buffered form) or the address of the caller's buffer
// (direct form). It is pointer-sized, so the header is 44 bytes in a 32-bit process and 56 in
// a 64-bit one, exactly like the driver's own structure.
struct ScsiPassThroughHeader {
  uint16_t length;
  uint8_t scsiStatus;
  uint8_t pathId;
  uint8_t targetId;
  uint8_t lun;
  uint8_t cdbLength;
  uint8_t senseInfoLength;
  uint8_t dataIn;
  uint32_t dataTransferLength;
  uint32_t timeOutValue;
  uintptr_t dataBuffer;
  uint32_t senseInfoOffset;
  uint8_t cdb[16];
};

// Bytes of sense the program asks for; fixed-format sense up to the ASCQ (byte 13).
inline constexpr uint8_t kRequestSenseLength = 14;
// Bytes of the buffered data area: INQUIRY and READ CAPACITY answers fit in it.
inline constexpr uint32_t kRequestDataSize = 256;

// One pass-through call's memory: header, sense area, buffered data area. The 16-byte
// alignment of the two areas reproduces the 32-bit offsets the driver is given (sense at 48,
// data at 64) and keeps both areas aligned on 64-bit builds, where the header is larger.
struct PassThroughRequest {
  ScsiPassThroughHeader header;
  alignas(16) uint8_t sense[kRequestSenseLength];
  alignas(16) uint8_t data[kRequestDataSize];
};

inline constexpr uint32_t kRequestHeaderSize = sizeof(ScsiPassThroughHeader);
inline constexpr uint32_t kRequestSenseOffset = offsetof(PassThroughRequest, sense);
inline constexpr uint32_t kRequestDataOffset = offsetof(PassThroughRequest, data);
inline constexpr uint32_t kRequestSize = sizeof(PassThroughRequest);

// In a 32-bit process the request must match the driver's 32-bit structure byte for byte.
static_assert(sizeof(void*) != 4 || kRequestHeaderSize == 44, "32-bit pass-through header is 44 bytes");
static_assert(sizeof(void*) != 4 || offsetof(ScsiPassThroughHeader, dataBuffer) == 20);
static_assert(sizeof(void*) != 4 || offsetof(ScsiPassThroughHeader, senseInfoOffset) == 24);
static_assert(sizeof(void*) != 4 || offsetof(ScsiPassThroughHeader, cdb) == 28);
static_assert(sizeof(void*) != 4 || kRequestSenseOffset == 48, "32-bit sense area at 48");
static_assert(sizeof(void*) != 4 || kRequestDataOffset == 64, "32-bit data area at 64");
static_assert(sizeof(void*) != 4 || kRequestSize == 320);
// On 64-bit builds the pointer-sized field moves the rest of the header.
static_assert(sizeof(void*) != 8 || kRequestHeaderSize == 56, "64-bit pass-through header is 56 bytes");
static_assert(offsetof(ScsiPassThroughHeader, dataTransferLength) == 12);
static_assert(offsetof(ScsiPassThroughHeader, timeOutValue) == 16);
static_assert(kRequestSenseOffset + kRequestSenseLength <= kRequestDataOffset);

}  // namespace orv

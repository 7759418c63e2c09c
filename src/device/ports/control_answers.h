// The fixed answers of the two non-SCSI I/O controls, as bytes: DISK_GEOMETRY (24 bytes) and
// SCSI_ADDRESS (8 bytes). Ports encode them, DeviceHandle's callers decode them.
#pragma once

#include <cstdint>

namespace orv {

// DISK_GEOMETRY: cylinders (u64), media type, tracks per cylinder, sectors per track, bytes per
// sector (u32 each), all little-endian.
struct DiskGeometry {
  uint64_t cylinders = 0;
  uint32_t mediaType = 0;
  uint32_t tracksPerCylinder = 0;
  uint32_t sectorsPerTrack = 0;
  uint32_t bytesPerSector = 0;
};
DiskGeometry DecodeDiskGeometry(const uint8_t* bytes24);
void EncodeDiskGeometry(const DiskGeometry& geometry, uint8_t* bytes24);

// SCSI_ADDRESS: Length (u32 little-endian, 8), port number, path id, target id, LUN.
struct ScsiAddress {
  uint8_t portNumber = 0;
  uint8_t pathId = 0;
  uint8_t targetId = 0;
  uint8_t lun = 0;
};
ScsiAddress DecodeScsiAddress(const uint8_t* bytes8);
// Writes all 8 bytes, the Length field included.
void EncodeScsiAddress(const ScsiAddress& address, uint8_t* bytes8);

}  // namespace orv

#include "device/ports/control_answers.h"

#include "device/ports/pass_through.h"
#include "toolkit/endian.h"

namespace orv {

DiskGeometry DecodeDiskGeometry(const uint8_t* b) {
  DiskGeometry g;
  g.cylinders = GetLe64(b);
  g.mediaType = GetLe32(b + 8);
  g.tracksPerCylinder = GetLe32(b + 12);
  g.sectorsPerTrack = GetLe32(b + 16);
  g.bytesPerSector = GetLe32(b + 20);
  return g;
}

void EncodeDiskGeometry(const DiskGeometry& g, uint8_t* b) {
  PutLe64(b, g.cylinders);
  PutLe32(b + 8, g.mediaType);
  PutLe32(b + 12, g.tracksPerCylinder);
  PutLe32(b + 16, g.sectorsPerTrack);
  PutLe32(b + 20, g.bytesPerSector);
}

ScsiAddress DecodeScsiAddress(const uint8_t* b) { return ScsiAddress{b[4], b[5], b[6], b[7]}; }

void EncodeScsiAddress(const ScsiAddress& address, uint8_t* b) {
  PutLe32(b, kScsiAddressSize);
  b[4] = address.portNumber;
  b[5] = address.pathId;
  b[6] = address.targetId;
  b[7] = address.lun;
}

}  // namespace orv

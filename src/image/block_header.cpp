#include "image/block_header.h"

#include <cstring>

#include "toolkit/endian.h"

namespace orv {

void StoreBlockHeader(const BlockHeader& h, uint8_t* out) {
  std::memcpy(out + 0, h.magic.data(), 8);
  PutLe16(out + 8, h.headerLength);
  PutLe16(out + 10, h.reserved1);
  PutLe64(out + 12, h.storedSize);
  PutLe64(out + 20, h.uncompressedSize);
  PutLe32(out + 28, h.sectorSize);
  PutLe64(out + 32, h.firstSector);
  PutLe32(out + 40, h.sectorCount);
  PutLe32(out + 44, h.reserved2);
  PutLe32(out + 48, h.crc);
  std::memcpy(out + 52, h.methodName.data(), 8);
}

BlockHeader LoadBlockHeader(const uint8_t* in) {
  BlockHeader h;
  std::memcpy(h.magic.data(), in + 0, 8);
  h.headerLength = GetLe16(in + 8);
  h.reserved1 = GetLe16(in + 10);
  h.storedSize = GetLe64(in + 12);
  h.uncompressedSize = GetLe64(in + 20);
  h.sectorSize = GetLe32(in + 28);
  h.firstSector = GetLe64(in + 32);
  h.sectorCount = GetLe32(in + 40);
  h.reserved2 = GetLe32(in + 44);
  h.crc = GetLe32(in + 48);
  std::memcpy(h.methodName.data(), in + 52, 8);
  return h;
}

int MethodOfName(const std::array<char, 8>& name) {
  if (name == kStoredMethodName) return static_cast<int>(BlockMethod::kStored);
  if (name == kLh5MethodName) return static_cast<int>(BlockMethod::kLh5);
  return -1;
}

const std::array<char, 8>& NameOfMethod(BlockMethod method) {
  return method == BlockMethod::kStored ? kStoredMethodName : kLh5MethodName;
}

const char* MethodLabel(BlockMethod method) {
  return method == BlockMethod::kStored ? "-nocomp-" : "-lh5----";
}

}  // namespace orv

// The 60-byte header in front of every block of an ".ovi" image file. All integers are
// little-endian; the file has no other header, so each block header carries the magic and the
// next one is found only by arithmetic: header offset + header length + stored size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orv {

enum class BlockMethod : int { kStored = 0, kLh5 = 1 };

constexpr size_t kBlockHeaderSize = 60;
inline constexpr std::array<char, 8> kBlockMagic = {'O', 'R', 'V', 'I', 'M', 'A', 'G', 'E'};
inline constexpr std::array<char, 8> kStoredMethodName = {'-', 'n', 'o', 'c', 'o', 'm', 'p', '-'};
inline constexpr std::array<char, 8> kLh5MethodName = {'-', 'l', 'h', '5', '-', '-', '-', '-'};

struct BlockHeader {
  std::array<char, 8> magic = kBlockMagic;      // offset 0
  uint16_t headerLength = kBlockHeaderSize;     // 8: data starts this far after the header
  uint16_t reserved1 = 0;                       // 10
  uint64_t storedSize = 0;                      // 12: bytes of block data in the file
  uint64_t uncompressedSize = 0;                // 20
  uint32_t sectorSize = 0;                      // 28: the caller's
  uint64_t firstSector = 0;                     // 32: the caller's; LBA of the first data byte
  uint32_t sectorCount = 0;                     // 40: the caller's
  uint32_t reserved2 = 0;                       // 44
  uint32_t crc = 0;                             // 48: BlockCrc of the uncompressed data
  std::array<char, 8> methodName = kLh5MethodName;  // 52: "-nocomp-" or "-lh5----"
};

void StoreBlockHeader(const BlockHeader& header, uint8_t* out);  // kBlockHeaderSize bytes
BlockHeader LoadBlockHeader(const uint8_t* in);                  // kBlockHeaderSize bytes

// The method a header names, or -1 for any other name.
int MethodOfName(const std::array<char, 8>& name);
const std::array<char, 8>& NameOfMethod(BlockMethod method);
const char* MethodLabel(BlockMethod method);  // "-nocomp-" / "-lh5----" as text

}  // namespace orv

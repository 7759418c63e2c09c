// The partition reader on an arbitrary medium. The first byte picks the block length (512 or
// 2048) and how many blocks past the data the medium claims; the rest is the medium's first
// blocks. Each block is handed over in a buffer of exactly its size, so AddressSanitizer sees a
// read past it, and a reader that loops ends by the read budget instead of running forever.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "device/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t blockLength = data[0] & 1 ? 2048 : 512;
  const uint64_t extraBlocks = static_cast<uint64_t>(data[0] >> 1) << 8;
  const uint8_t* medium = data + 1;
  const size_t mediumSize = size - 1;
  const uint64_t blockCount = mediumSize / blockLength + 1 + extraBlocks;
  int reads = 0;
  const orv::BlockReader read = [&](uint64_t lba, std::span<uint8_t> block) -> int {
    if (++reads > 10000 || lba >= blockCount || block.size() != blockLength) return -1;
    std::memset(block.data(), 0, block.size());
    const uint64_t offset = lba * blockLength;
    if (offset < mediumSize) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(blockLength, mediumSize - offset));
      std::memcpy(block.data(), medium + offset, n);
    }
    return static_cast<int>(blockLength);
  };
  orv::PartitionList list;
  const int result = orv::ReadPartitionTable(read, blockCount, blockLength, list);
  // A walk that needs the read budget is a loop the reader failed to stop.
  if (reads > 10000) __builtin_trap();
  if (result >= 0 && static_cast<size_t>(result) != list.size()) __builtin_trap();
  return 0;
}

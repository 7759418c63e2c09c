// One image block coded in memory, for writers that code many blocks at once on several threads
// and write them in order themselves (the whole-disc backup). The erase's backup and the image
// tools keep writing through ImageFile and its streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/block_header.h"

namespace orv {

struct EncodedBlock {
  BlockMethod method = BlockMethod::kStored;
  std::vector<uint8_t> stored;  // the block's data as the file holds it
  uint32_t crc = 0;             // BlockCrc of the uncompressed bytes
};

// Codes `bytes` bytes: all zeros as Lh5ZeroRunStream, anything else as an LH5 stream, or stored
// unchanged when LH5 cannot make it smaller (random data, compressed video).
EncodedBlock EncodeBlockInMemory(const uint8_t* data, size_t bytes);

// A "-lh5-" stream of `bytes` zero bytes (at least 1) that costs a few bytes per 16 MiB: one
// literal 0, then matches of 256 bytes at distance 1 in Huffman blocks whose trees each have a
// single symbol, so that each match takes no bits at all.
std::vector<uint8_t> Lh5ZeroRunStream(uint64_t bytes);

}  // namespace orv

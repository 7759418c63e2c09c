// What the image tools conclude from an ".ovi" file, beyond what the container itself checks:
// what is wrong with a block that failed its check, where a block's data goes on a disc or in a
// raw image, and whether the file ends where its last block says it does.
#pragma once

#include <cstdint>
#include <filesystem>

#include "image/block_header.h"
#include "image/image_file.h"

namespace orv {

// Which of a read block's checks failed (after EndReadBlock).
struct BlockFaults {
  bool storedSize = false;        // the data did not take exactly the stored size
  bool uncompressedSize = false;  // fewer or more bytes came out than the header claims
  bool crc = false;               // the CRC of what came out differs from the header's
  bool Any() const { return storedSize || uncompressedSize || crc; }
};
BlockFaults FaultsOf(const ImageBlock& block);

// Where a block's data goes: from byte `offset` = first sector x sector size on. A block is
// placeable when its sector size is not 0 and every byte of its data lies within what a file
// offset (a signed 64-bit value) can address.
struct BlockPlacement {
  bool placeable = false;
  uint64_t offset = 0;
};
BlockPlacement PlaceBlock(const BlockHeader& header);

// Whether the file ends with one 0x00 right after the last block of the walk that filled
// `image`'s block list.
enum class TrailerFault {
  kNone,
  kSizeUnknown,  // the file's size cannot be read
  kShort,        // it ends inside its last block or without the closing byte
  kExtraBytes,   // more bytes follow the closing byte's place
};
struct TrailerCheck {
  TrailerFault fault = TrailerFault::kNone;
  uint64_t extraBytes = 0;  // kExtraBytes: bytes after the last block beyond the closing one
};
TrailerCheck CheckTrailer(const std::filesystem::path& path, const ImageFile& image);

}  // namespace orv

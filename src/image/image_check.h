// What the image tools conclude from an ".ovi" file beyond what the container checks: where a
// block's data goes (and whether its header can be right before a byte of it is decoded), what
// is wrong with a block that failed, and the verdict on a whole file.
//
// For the image write and the erase's read-back of its own backup:
//
//   ImageCheck check;
//   if (CheckImage(path, CheckDepth::kHeaders, check) != 0 || !check.Good() || check.blocks.empty())
//     refuse the file ("イメージ情報の取得に失敗しました。"), write nothing;
//   image size I = check.imageBytes; each block's sectors: check.blocks[i].placement.
//
// then, while writing, an ImageFile reader with SetBlockAdmission(AdmitPlacedBlock), so that a
// block whose header changed since the check is not decoded either. The erase reads its backup
// back with CheckDepth::kData: Good() then also means every block decoded to its stored size,
// its uncompressed size and its CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "image/block_header.h"
#include "image/image_file.h"
#include "image/image_walk.h"

namespace orv {

// ---- Where a block's data goes ----

enum class PlacementFault {
  kNone,
  kOverSectors,    // the uncompressed size is more than sector count x sector size
  kUnaddressable,  // its sectors end beyond what a byte offset (signed 64-bit) can address
  kCountMismatch,  // its sector count is not the number of sectors its data fills
};

// A block covers sectors firstSector .. firstSector + sectorCount - 1 of sectorSize bytes; its
// data starts at the first of them and must fit in them. Every image this system writes has
// uncompressed size = sector count x sector size, so a header claiming more is wrong (or
// hostile: a few kilobytes of valid LH5 can claim terabytes), and is refused before decoding.
// A count larger than the data fills is refused too: the header then names sectors the block
// never writes, and whoever trusts the count (a capacity check, a reader of the backup) is told
// a different story than the data.
struct BlockPlacement {
  PlacementFault fault = PlacementFault::kNone;
  uint64_t offset = 0;   // first sector x sector size: the byte address of the first data byte
  uint64_t end = 0;      // offset + uncompressed size: one past the last data byte
  uint64_t sectors = 0;  // sectors the data touches: uncompressed size / sector size, rounded up
  bool Placed() const { return fault == PlacementFault::kNone; }
};
BlockPlacement PlaceBlock(const BlockHeader& header);

// The block admission the tools give an ImageFile reader: decode a block only if it is placed.
bool AdmitPlacedBlock(const BlockHeader& header);

// ---- What is wrong with a block once read ----

struct BlockFaults {
  bool refused = false;           // not decoded: its header cannot be placed
  bool storedSize = false;        // its data did not end exactly at its stored size
  bool uncompressedSize = false;  // fewer or more bytes came out than the header claims
  bool crc = false;               // the CRC of what came out differs from the header's
  bool Any() const { return refused || storedSize || uncompressedSize || crc; }
};
// After EndReadBlock.
BlockFaults FaultsOf(const ImageBlock& block);

// ---- A whole file ----

struct BlockCheck {
  ImageBlock block;  // as the walk found it; with CheckDepth::kData, what its data held
  BlockPlacement placement;
  bool decoded = false;  // kData: its data was read (it was placed)
  BlockFaults faults;    // kData only
  bool Good() const { return placement.Placed() && !faults.Any(); }
};

struct ImageCheck {
  ImageWalk walk;
  std::vector<BlockCheck> blocks;
  uint64_t imageBytes = 0;  // the sum of the uncompressed sizes
  uint64_t extent = 0;      // the largest placement end of a placed block: a raw image's size
  // The file is complete and every block placed (and, with kData, read back whole).
  bool Good() const;
};

enum class CheckDepth {
  kHeaders,  // the headers alone (ListBlocks): quick, nothing decoded
  kData,     // every placed block decoded and checked as well
};

// Told about the progress of a kData check, and able to stop it.
class CheckObserver {
 public:
  virtual ~CheckObserver() = default;
  // After each piece of block `number` (from 1): `done` of `total` bytes. False stops the
  // check; it then ends with the walk not concluded (kNotWalked), so never Good.
  virtual bool Piece(size_t number, uint64_t done, uint64_t total) {
    (void)number, (void)done, (void)total;
    return true;
  }
  // After each block.
  virtual void Checked(size_t number, const BlockCheck& block) { (void)number, (void)block; }
};

// Walks the regular file `path` and fills `check`. 0 when the file was walked, whatever the
// verdict; -1 when it cannot be opened or is not a regular file (`error`, when given, then
// holds the system's code, 0 for a file of the wrong kind).
int CheckImage(const std::filesystem::path& path, CheckDepth depth, ImageCheck& check,
               CheckObserver* observer = nullptr, uint32_t* error = nullptr);

// Reads the current block of `image` to the end of its data in pieces of up to `size` bytes of
// `buffer`, giving each to `sink` with its offset in the block (false stops the reading), then
// ends the block. The block as EndReadBlock left it, with its placement and faults.
using BlockSink = std::function<bool(const uint8_t* data, uint64_t count, uint64_t offset)>;
BlockCheck ReadCurrentBlock(ImageFile& image, uint8_t* buffer, uint32_t size, const BlockSink& sink);

}  // namespace orv

#include "image/image_check.h"

#include <limits>
#include <memory>

#include "image/file_system.h"

namespace orv {

namespace {
// Pieces of a block handed out at a time: the image-write transfer size.
constexpr uint32_t kPieceBytes = 65536;
}  // namespace

BlockPlacement PlaceBlock(const BlockHeader& h) {
  constexpr uint64_t kMaxAddress = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  BlockPlacement placement;
  // Both factors are 32-bit: the product always fits in 64 bits.
  const uint64_t capacity = uint64_t{h.sectorCount} * h.sectorSize;
  if (h.uncompressedSize > capacity) {
    placement.fault = PlacementFault::kOverSectors;
    return placement;
  }
  if (h.sectorSize != 0) {
    const uint64_t maxSectors = kMaxAddress / h.sectorSize;
    if (h.firstSector > maxSectors || h.sectorCount > maxSectors - h.firstSector) {
      placement.fault = PlacementFault::kUnaddressable;
      return placement;
    }
    placement.offset = h.firstSector * h.sectorSize;
    placement.sectors = h.uncompressedSize / h.sectorSize + (h.uncompressedSize % h.sectorSize != 0 ? 1 : 0);
  }
  // With a sector size of 0 the data is empty (checked above) and so must the count be.
  if (placement.sectors != h.sectorCount) {
    placement = BlockPlacement{};
    placement.fault = PlacementFault::kCountMismatch;
    return placement;
  }
  // An empty block (the only kind a sector size of 0 allows) places nothing.
  placement.end = placement.offset + h.uncompressedSize;
  return placement;
}

bool AdmitPlacedBlock(const BlockHeader& header) { return PlaceBlock(header).Placed(); }

BlockFaults FaultsOf(const ImageBlock& block) {
  BlockFaults faults;
  faults.refused = block.refused;
  faults.storedSize = block.header.storedSize != block.storedConsumed;
  faults.uncompressedSize = block.header.uncompressedSize != block.uncompressedBytes;
  faults.crc = block.header.crc != block.crcComputed;
  return faults;
}

bool ImageCheck::Good() const {
  if (!walk.Complete()) return false;
  for (const BlockCheck& b : blocks) {
    if (!b.Good()) return false;
  }
  return true;
}

BlockCheck ReadCurrentBlock(ImageFile& image, uint8_t* buffer, uint32_t size, const BlockSink& sink) {
  uint64_t delivered = 0;
  int64_t n;
  while ((n = image.ReadBlockData(size, buffer)) > 0) {
    if (sink && !sink(buffer, static_cast<uint64_t>(n), delivered)) break;
    delivered += static_cast<uint64_t>(n);
  }
  image.EndReadBlock();
  BlockCheck check;
  check.block = image.Blocks().back();
  check.placement = PlaceBlock(check.block.header);
  check.decoded = !check.block.refused;
  check.faults = FaultsOf(check.block);
  return check;
}

namespace {

void Total(ImageCheck& check, const BlockCheck& block) {
  check.imageBytes += block.block.header.uncompressedSize;
  if (block.placement.Placed() && block.placement.end > check.extent) check.extent = block.placement.end;
}

}  // namespace

int CheckImage(const std::filesystem::path& path, CheckDepth depth, ImageCheck& check, CheckObserver* observer,
               uint32_t* error) {
  check = ImageCheck{};
  if (error != nullptr) *error = 0;
  ImageFile image;
  if (depth == CheckDepth::kHeaders) {
    if (image.ListBlocks(path) < 0) {
      if (error != nullptr) *error = image.LastError();
      return -1;
    }
    for (const ImageBlock& b : image.Blocks()) {
      BlockCheck block;
      block.block = b;
      block.placement = PlaceBlock(b.header);
      check.blocks.push_back(block);
      Total(check, block);
    }
    check.walk = image.Walk();
    return 0;
  }

  if (image.OpenForRead(path) != 0) {
    if (error != nullptr) *error = image.LastError();
    return -1;
  }
  image.SetBlockAdmission(AdmitPlacedBlock);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceBytes]);
  bool stopped = false;
  while (!stopped) {
    const BlockHeader* header = image.NextBlock();
    if (header == nullptr) break;
    const size_t number = check.blocks.size() + 1;
    const uint64_t total = header->uncompressedSize;
    BlockCheck block = ReadCurrentBlock(image, buffer.get(), kPieceBytes, [&](const uint8_t*, uint64_t count, uint64_t offset) {
      if (observer != nullptr && !observer->Piece(number, offset + count, total)) stopped = true;
      return !stopped;
    });
    check.blocks.push_back(block);
    Total(check, block);
    if (observer != nullptr) observer->Checked(number, block);
  }
  check.walk = stopped ? ImageWalk{} : image.Walk();
  image.CloseReader();
  return 0;
}

}  // namespace orv

#include "image/image_check.h"

#include <limits>
#include <system_error>

namespace orv {

BlockFaults FaultsOf(const ImageBlock& block) {
  BlockFaults faults;
  faults.storedSize = block.header.storedSize != block.storedConsumed;
  faults.uncompressedSize = block.header.uncompressedSize != block.uncompressedBytes;
  faults.crc = block.header.crc != block.crcComputed;
  return faults;
}

BlockPlacement PlaceBlock(const BlockHeader& h) {
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  BlockPlacement placement;
  placement.placeable = h.sectorSize != 0 && h.firstSector <= kMaxOffset / h.sectorSize &&
                        h.uncompressedSize <= kMaxOffset - h.firstSector * h.sectorSize;
  if (placement.placeable) placement.offset = h.firstSector * h.sectorSize;
  return placement;
}

TrailerCheck CheckTrailer(const std::filesystem::path& path, const ImageFile& image) {
  TrailerCheck check;
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    check.fault = TrailerFault::kSizeUnknown;
    return check;
  }
  uint64_t end = 0;
  if (!image.Blocks().empty()) {
    const ImageBlock& last = image.Blocks().back();
    end = last.headerOffset + last.header.headerLength + last.header.storedSize;
  }
  if (size <= end) {
    check.fault = TrailerFault::kShort;
  } else if (size > end + 1) {
    check.fault = TrailerFault::kExtraBytes;
    check.extraBytes = size - end - 1;
  }
  return check;
}

}  // namespace orv

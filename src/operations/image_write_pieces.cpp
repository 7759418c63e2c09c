#include "operations/image_write_pieces.h"

#include <cstring>

#include "operations/image_write_texts.h"

namespace orv {

namespace {

uint32_t SectorsOf(uint64_t bytes, uint32_t sectorSize) {
  return static_cast<uint32_t>(bytes / sectorSize + (bytes % sectorSize != 0 ? 1 : 0));
}

// Zeros from the end of the image's bytes to the end of the piece's last sector.
void PadPiece(uint8_t* buffer, ImagePiece& piece, uint32_t sectorSize) {
  piece.sectors = SectorsOf(piece.bytes, sectorSize);
  const uint64_t whole = uint64_t{piece.sectors} * sectorSize;
  std::memset(buffer + piece.bytes, 0, static_cast<size_t>(whole - piece.bytes));
}

bool SameHeader(const BlockHeader& a, const BlockHeader& b) {
  uint8_t x[kBlockHeaderSize], y[kBlockHeaderSize];
  StoreBlockHeader(a, x);
  StoreBlockHeader(b, y);
  return std::memcmp(x, y, kBlockHeaderSize) == 0;
}

}  // namespace

RawPieces::RawPieces(ImagePlan& plan, uint32_t sectorSize, uint32_t transfer)
    : plan_(plan), sectorSize_(sectorSize), transfer_(transfer) {}

int RawPieces::Next(uint8_t* buffer, ImagePiece& piece, std::string& failure) {
  if (bytesRead_ >= plan_.imageBytes) return 0;
  if (!rewound_) {
    if (plan_.raw.Seek(0, BinaryFile::kBegin) != 0) {
      failure = kFileReadFailed;
      return -1;
    }
    rewound_ = true;
  }
  const uint64_t left = plan_.imageBytes - bytesRead_;
  const auto n = static_cast<uint32_t>(left < transfer_ ? left : transfer_);
  if (plan_.raw.Read(buffer, n) != static_cast<int64_t>(n)) {
    failure = kFileReadFailed;
    return -1;
  }
  bytesRead_ += n;
  piece.lba = lba_;
  piece.bytes = n;
  PadPiece(buffer, piece, sectorSize_);
  lba_ += piece.sectors;
  return 1;
}

ContainerPieces::ContainerPieces(ImageFile& image, const std::vector<PlannedBlock>& blocks, uint32_t sectorSize,
                                 uint32_t transfer)
    : image_(image), blocks_(blocks), sectorSize_(sectorSize), transfer_(transfer) {
  image_.SetBlockAdmission([this](const BlockHeader& header) {
    const size_t index = admitted_++;
    return index < blocks_.size() && SameHeader(header, blocks_[index].header);
  });
}

void ContainerPieces::EndBlock() {
  if (image_.EndReadBlock() != 0 || remaining_ != 0) bad_.push_back({blockFirst_, blockSectors_});
  inBlock_ = false;
}

int ContainerPieces::Next(uint8_t* buffer, ImagePiece& piece, std::string& failure) {
  for (;;) {
    if (!inBlock_) {
      const BlockHeader* header = image_.NextBlock();
      if (header == nullptr) {
        // Not the walk the check saw: the file changed under the write.
        if (!image_.Walk().Complete() || image_.BlockCount() != blocks_.size()) {
          failure = kImageInfoFailed;
          return -1;
        }
        return 0;
      }
      const size_t index = image_.BlockCount() - 1;
      if (index >= blocks_.size()) {
        // More blocks than the check saw: the file changed under the write.
        image_.EndReadBlock();
        failure = kImageInfoFailed;
        return -1;
      }
      // An admitted header is the checked one. A refused block reads as empty and ends bad at
      // once, named by the sectors the check saw.
      inBlock_ = true;
      remaining_ = blocks_[index].header.uncompressedSize;
      lba_ = blockFirst_ = blocks_[index].header.firstSector;
      blockSectors_ = blocks_[index].sectors;
    }
    // Whole buffers until the block's last piece, however the reader hands its data out.
    uint32_t n = 0;
    bool ended = false;
    while (n < transfer_ && !ended) {
      const uint64_t want = remaining_ < transfer_ - n ? remaining_ : transfer_ - n;
      if (want == 0) {
        ended = true;
        break;
      }
      const int64_t got = image_.ReadBlockData(want, buffer + n);
      if (got < 1) {
        ended = true;
        break;
      }
      n += static_cast<uint32_t>(got);
      remaining_ -= static_cast<uint64_t>(got);
    }
    if (remaining_ == 0) ended = true;
    if (ended) EndBlock();
    if (n > 0) {
      piece.lba = lba_;
      piece.bytes = n;
      PadPiece(buffer, piece, sectorSize_);
      lba_ += piece.sectors;
      return 1;
    }
  }
}

}  // namespace orv

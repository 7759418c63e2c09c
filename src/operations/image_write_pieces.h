// The image as the pieces one WRITE(10) moves: a run of whole sectors at an LBA, at most the
// transfer buffer's size. The write and the read-back after it walk the same pieces.
//
// A raw image goes from sector 0 on, in file order. A container goes block by block, each from
// the sector in its header. A piece never mixes two blocks and never reaches past the block's
// uncompressed size as its header was checked; whatever its last sector lacks is zeros, as in a
// raw image's last sector.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_file.h"
#include "operations/image_write_plan.h"

namespace orv {

struct ImagePiece {
  uint64_t lba = 0;
  uint32_t bytes = 0;    // bytes of the image in it
  uint32_t sectors = 0;  // bytes rounded up to whole sectors: what is written
};

// A block whose data did not come out as its header promised (ended early, wrong size or CRC,
// or its header changed since the check and it was not decoded): what it wrote may be wrong.
struct BadBlock {
  uint64_t firstSector = 0;
  uint64_t sectors = 0;
};

class PieceSource {
 public:
  virtual ~PieceSource() = default;
  // The next piece, in `buffer` (room for the transfer size). 1 with a piece, 0 at the end of
  // the image, -1 with `failure` set to the message.
  virtual int Next(uint8_t* buffer, ImagePiece& piece, std::string& failure) = 0;
};

// The raw file of `plan` from its start (it is rewound), `transfer` bytes (whole sectors) at a
// time.
class RawPieces : public PieceSource {
 public:
  RawPieces(ImagePlan& plan, uint32_t sectorSize, uint32_t transfer);
  int Next(uint8_t* buffer, ImagePiece& piece, std::string& failure) override;

 private:
  ImagePlan& plan_;
  uint32_t sectorSize_;
  uint32_t transfer_;
  uint64_t bytesRead_ = 0;
  uint64_t lba_ = 0;
  bool rewound_ = false;
};

// The blocks of a container, read through `image` (opened for reading by the caller). A header
// that differs from the one checked (the file changed since) is not decoded; a walk that does not
// end as the check's did fails the image.
class ContainerPieces : public PieceSource {
 public:
  ContainerPieces(ImageFile& image, const std::vector<PlannedBlock>& blocks, uint32_t sectorSize, uint32_t transfer);
  int Next(uint8_t* buffer, ImagePiece& piece, std::string& failure) override;

  // The blocks read to their end that failed, in file order.
  const std::vector<BadBlock>& BadBlocks() const { return bad_; }

 private:
  void EndBlock();

  ImageFile& image_;
  const std::vector<PlannedBlock>& blocks_;
  uint32_t sectorSize_;
  uint32_t transfer_;
  size_t admitted_ = 0;  // headers the reader has asked about
  bool inBlock_ = false;
  uint64_t remaining_ = 0;  // bytes of the current block still to come
  uint64_t lba_ = 0;
  uint64_t blockFirst_ = 0;
  uint64_t blockSectors_ = 0;
  std::vector<BadBlock> bad_;
};

}  // namespace orv

// What an image write is going to write, decided before the drive is touched and checked against
// the disc before the user is asked: the kind of image, its size, and for a container every
// block's sectors.
//
// A container is trusted only whole: its block walk must end at the closing 0x00 that is the
// file's last byte, and every header must place its data inside its own sectors (image_check.h).
// A file cut short or with an overwritten header would otherwise have the blocks before the damage
// written and the rest silently missing. Its blocks must have the disc's sector size (a backup of
// 2048-byte sectors put on a 512-byte disk would land at a quarter of its offsets), and every
// block must lie inside the disc: comparing only the total size lets a tail block from a larger
// disc write the head and then fail half-way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/binary_file.h"
#include "image/block_header.h"

namespace orv {

// ".ovi" in any case (ASCII letters only: the dot and these letters are never the second byte of
// a Shift-JIS character, so a plain comparison of the last four bytes is exact).
bool IsContainerPath(const std::filesystem::path& path);

// One block of a container, as its header was checked.
struct PlannedBlock {
  BlockHeader header;
  uint64_t sectors = 0;  // sectors its data touches (the last one may be partial)
};

struct ImagePlan {
  bool container = false;
  bool containerByContent = false;  // a container whose name is not ".ovi": its magic decided
  std::filesystem::path path;
  uint64_t imageBytes = 0;  // I: the raw file's size, or the sum of the blocks' uncompressed sizes
  BinaryFile raw;           // raw: open from the reading of the plan until the job ends
  std::vector<PlannedBlock> blocks;  // container
};

// Reads the image's kind and size and checks what the file alone decides; a raw file is opened
// and kept open. 0, or -1 with the message to show.
int ReadImagePlan(const std::filesystem::path& path, ImagePlan& plan, std::string& message);

// Checks the plan against a disc of `diskSectors` sectors of `sectorSize` bytes and gives the
// number of sectors the write will move. 0, or -1 with the message to show.
int CheckPlanAgainstDisc(const ImagePlan& plan, uint32_t sectorSize, uint64_t diskSectors, uint64_t& sectorsToWrite,
                         std::string& message);

}  // namespace orv

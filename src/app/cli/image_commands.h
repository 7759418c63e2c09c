// The image tools of the console front end: `image list|verify|extract|create`. Each is a plain
// function returning the exit code (0 success, 1 failure), writing its report to `out` and its
// errors and progress to `err`, so tests run them directly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <vector>

namespace CLI {
class App;
}

namespace orv {

// One line per block: first sector, sector count, sector size, method, stored and uncompressed
// size, CRC.
int ImageList(const std::filesystem::path& image, std::ostream& out, std::ostream& err);

// Decodes every block and checks its sizes and CRC; names each bad block. 1 if any block is bad
// or the file does not end right after its last block.
int ImageVerify(const std::filesystem::path& image, std::ostream& out, std::ostream& err);

// Writes each block's data at first sector x sector size of a raw image (sparse where the file
// system allows). 1 if a block is bad or cannot be placed; the good blocks are written.
int ImageExtract(const std::filesystem::path& image, const std::filesystem::path& raw,
                 std::ostream& out, std::ostream& err);

struct SectorRun {
  uint64_t firstSector = 0;
  uint32_t sectorCount = 0;
};

// Packs runs of sectors of a raw image into LH5 blocks, one block per run, as the erase backup
// does. An image that cannot be completed is removed.
int ImageCreate(const std::filesystem::path& image, const std::filesystem::path& raw,
                uint32_t sectorSize, const std::vector<SectorRun>& runs, std::ostream& out,
                std::ostream& err);

// Registers `image list|verify|extract|create`; a subcommand's exit code lands in exitCode.
void AddImageCommands(CLI::App& app, int& exitCode);

}  // namespace orv

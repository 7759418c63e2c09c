// The disc (or disk) in a virtual drive: a block length, a block count and the blocks, backed by
// memory (tests) or by a raw image file (the programs), which a test or a user can inspect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace orv {

class Medium {
 public:
  Medium(uint32_t blockLength, uint64_t blockCount, bool readOnly)
      : blockLength_(blockLength), blockCount_(blockCount), readOnly_(readOnly) {}
  virtual ~Medium() = default;

  uint32_t BlockLength() const { return blockLength_; }
  uint64_t BlockCount() const { return blockCount_; }
  bool ReadOnly() const { return readOnly_; }
  // The image file behind the medium, or null for one in memory.
  virtual const std::filesystem::path* ImagePath() const { return nullptr; }

  // `blocks` whole blocks at `lba`, which the caller has checked against BlockCount(). 0 or -1
  // (an I/O error of the backing store, answered as a medium error).
  virtual int Read(uint64_t lba, uint32_t blocks, uint8_t* out) = 0;
  virtual int Write(uint64_t lba, uint32_t blocks, const uint8_t* in) = 0;
  // Milliseconds a read of those blocks takes beyond the drive's own time (a place on the disc
  // the drive reads only slowly); the drive waits them, or advances its simulated clock.
  virtual uint32_t ReadDelayMs(uint64_t /*lba*/, uint32_t /*blocks*/) const { return 0; }

 private:
  uint32_t blockLength_;
  uint64_t blockCount_;
  bool readOnly_;
};

// A sparse medium in memory: blocks never written read as zeros, so a 4.7 GB disc costs only
// what is written to it.
std::unique_ptr<Medium> MakeMemoryMedium(uint32_t blockLength, uint64_t blockCount, bool readOnly);

// A medium backed by a raw image file. A missing file is created sparse with
// `defaultBlockCount` blocks; an existing one gives the block count (file size / block
// length). Null with a message in `error` when the file cannot be created or opened, or holds
// less than one block.
std::unique_ptr<Medium> OpenImageMedium(const std::filesystem::path& path, uint32_t blockLength,
                                        uint64_t defaultBlockCount, bool readOnly, std::string& error);

}  // namespace orv

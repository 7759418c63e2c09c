// An .ovi file read as the image tools read it: the walk of its headers and every block decoded
// through the threaded decode stream. The input must never make the reader crash, hang or touch
// memory outside its buffers, and the verdict must hold: `image verify` exits 0 (CheckImage with
// CheckDepth::kData is Good) exactly when the file is complete and every block, placed within
// its sectors, decodes to its stored size, its uncompressed size and its CRC. The verdict is
// checked against a reading of the format written here on its own, over memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "image/block_crc.h"
#include "image/image_check.h"
#include "memory_input_codec.h"

namespace {

// A header may claim any size its sectors hold; decoding more than this per input only slows
// the fuzzer down without reaching new code.
constexpr uint64_t kMaxImageBytes = uint64_t{16} << 20;

uint64_t Le(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

class MemoryDecoder : public orv::fuzz::MemoryInputCodec {
 public:
  orv::BlockCrc crc;
  uint64_t written = 0;

 protected:
  int64_t WriteOutput(orv::BinaryFile*, const uint8_t* buffer, uint32_t count) override {
    crc.Update(buffer, count);
    written += count;
    return count;
  }
};

// The block of `size` bytes of data at `data` decodes exactly as its header says.
bool BlockDecodes(const uint8_t* header, const uint8_t* data, uint64_t stored) {
  const uint64_t uncompressed = Le(header + 20, 8);
  const uint32_t crc = static_cast<uint32_t>(Le(header + 48, 4));
  if (std::memcmp(header + 52, "-nocomp-", 8) == 0) {
    orv::BlockCrc check;
    check.Update(data, stored);
    return stored == uncompressed && check.Value() == crc;
  }
  MemoryDecoder decoder;
  decoder.in = data;
  decoder.inSize = stored;
  decoder.uncompressedSize = uncompressed;
  decoder.compressedSize = stored;
  if (decoder.DecodeSetup() != 0 || decoder.Decode() != 0) return false;
  // A block of no data decodes nothing: its stream counts as what the bit reader loaded, 8 bytes
  // at most. Any other stream must end at its stored size.
  const bool used = uncompressed == 0 ? stored <= 8 : decoder.compressedUsed == stored;
  return used && decoder.written == uncompressed && decoder.crc.Value() == crc;
}

// The data of a block fills exactly its sectors (the last one may be partial), which lie within
// a signed 64-bit byte address.
bool BlockPlaced(const uint8_t* header) {
  const unsigned __int128 sectorSize = Le(header + 28, 4);
  const unsigned __int128 count = Le(header + 40, 4);
  const unsigned __int128 data = Le(header + 20, 8);
  const unsigned __int128 end = (Le(header + 32, 8) + count) * sectorSize;
  const bool fits = data <= count * sectorSize;
  const unsigned __int128 filled = sectorSize == 0 ? 0 : (data + sectorSize - 1) / sectorSize;
  return fits && filled == count && (sectorSize == 0 || end <= static_cast<unsigned __int128>(INT64_MAX));
}

// The whole file, walked and decoded over memory.
bool FileIsGood(const uint8_t* file, size_t size) {
  uint64_t at = 0;
  bool good = true;
  while (at + 60 <= size) {
    const uint8_t* h = file + at;
    const uint64_t length = Le(h + 8, 2);
    const uint64_t stored = Le(h + 12, 8);
    const bool method = std::memcmp(h + 52, "-nocomp-", 8) == 0 || std::memcmp(h + 52, "-lh5----", 8) == 0;
    if (std::memcmp(h, "ORVIMAGE", 8) != 0 || !method || length < 60) break;
    if (stored > size || at + length + stored > size) return false;  // data past the end
    good = good && BlockPlaced(h) && BlockDecodes(h, file + at + length, stored);
    at += length + stored;
  }
  return good && at + 1 == size && file[at] == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("orvane-fuzz-" + std::to_string(getpid()) + ".ovi");
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }

  orv::ImageCheck headers;
  if (orv::CheckImage(path, orv::CheckDepth::kHeaders, headers) != 0) std::abort();
  if (headers.imageBytes > kMaxImageBytes) return 0;
  orv::ImageCheck check;
  if (orv::CheckImage(path, orv::CheckDepth::kData, check) != 0) std::abort();
  if (check.blocks.size() != headers.blocks.size() || check.walk.end != headers.walk.end) std::abort();
  if (check.Good() != FileIsGood(data, size)) std::abort();
  return 0;
}

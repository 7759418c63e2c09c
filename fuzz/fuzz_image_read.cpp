// An .ovi file read block by block, as the image writer reads it: every header, every block's
// data through the decode stream, every verdict. The input must never make the reader crash,
// hang or touch memory outside its buffers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "image/image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("orvane-fuzz-" + std::to_string(getpid()) + ".ovi");
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }

  orv::ImageFile image;
  image.ListBlocks(path);
  if (image.OpenForRead(path) != 0) return 0;
  static uint8_t buffer[65536];
  // A header may claim any size: read a bounded amount of each block, then let the verdict
  // close the stream early.
  constexpr uint64_t kMaxPerBlock = 1 << 20;
  for (int blocks = 0; blocks < 16 && image.NextBlock() != nullptr; ++blocks) {
    uint64_t total = 0;
    int64_t n;
    while (total < kMaxPerBlock && (n = image.ReadBlockData(sizeof buffer, buffer)) > 0) total += static_cast<uint64_t>(n);
    image.EndReadBlock();
  }
  image.CloseReader();
  return 0;
}

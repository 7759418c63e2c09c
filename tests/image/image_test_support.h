// Helpers of the image tests and others: corpora from a seed, a bit-stream builder, an LH5 codec
// over memory, hand-made headers and ".ovi" files, scratch files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "image/image_walk.h"
#include "image/lh5_codec.h"

namespace orv::test {

using Bytes = std::vector<uint8_t>;

// Text from a small vocabulary; binary as executables and disc sectors look; random.
Bytes TextCorpus(size_t size, uint32_t seed = 1);
Bytes BinaryCorpus(size_t size, uint32_t seed = 2);
Bytes RandomCorpus(size_t size, uint32_t seed = 3);

struct Corpus {
  std::string name;
  Bytes data;
};
// The codec's edges: 0 to 3 bytes, around the window, runs, repeats at its distance, big blocks.
std::vector<Corpus> EdgeCorpora();

// Builds a bit stream most significant bit first, as the codec writes it.
struct Bits {
  Bytes bytes;
  size_t bit = 0;
  Bits& Put(int count, uint32_t value);
  // A length of the small code tables: 3 bits, or from 7 on a run of ones ending in a zero.
  Bits& Length(int k) { return k <= 6 ? Put(3, static_cast<uint32_t>(k)) : Put(k - 3, (1u << (k - 3)) - 2); }
};

// A codec over memory: input from `input`, output appended to `output`.
class MemoryCodec : public Lh5Codec {
 public:
  explicit MemoryCodec(Bytes in = {}) : input(std::move(in)) {}
  int EncodeInput() { return EncodeAlloc(5) == 5 ? Encode() : -1; }
  // Decodes `size` bytes, reading at most `limit` bytes of the input (-1: all of it).
  int DecodeInput(uint64_t size, int64_t limit = -1);

  Bytes input;
  size_t inputPos = 0;
  Bytes output;
  size_t writeLimit = SIZE_MAX;  // WriteOutput comes back short beyond this many bytes
  std::vector<int> failCodes;

 protected:
  int64_t ReadInput(BinaryFile*, uint8_t* buffer, uint32_t count) override;
  int64_t WriteOutput(BinaryFile*, const uint8_t* buffer, uint32_t count) override;
  int Fail(int code) override { failCodes.push_back(code); return 0; }
};

// The raw "-lh5-" stream of `data`, and back: at most `compressedSize` bytes of it read (-1: all).
Bytes Lh5Encode(const Bytes& data);
Bytes Lh5Decode(const Bytes& stream, uint64_t uncompressedSize, int* failCode = nullptr,
                int64_t compressedSize = -1);

// A 60-byte block header made by hand; its sector fields 0.
Bytes Header(uint16_t length, uint64_t stored, uint64_t uncompressed, uint32_t crc, const char* method,
             const char* magic = "ORVIMAGE");
uint32_t CrcOf(const Bytes& data);
Bytes Concat(std::initializer_list<Bytes> parts);

// Hand-made ".ovi" files, whole and damaged, with where and why a walk over their blocks stops.
struct WalkCase {
  const char* name;
  Bytes file;
  WalkEnd end;
  size_t blocks;
  uint64_t offset;
};
std::vector<WalkCase> WalkCases();

// A fresh, empty directory under the build tree, of the running case's own.
std::filesystem::path TempDir(const std::string& name);
Bytes ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const Bytes& data);

}  // namespace orv::test

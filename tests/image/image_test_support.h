// Helpers shared by the image and interop tests: corpora built from a seed, a bit-stream
// builder, an LH5 codec over memory, and scratch files.
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

// Text: words and lines from a small vocabulary. Binary: records, opcodes, padding runs and
// noise, as executables and disc sectors look. Random: incompressible.
Bytes TextCorpus(size_t size, uint32_t seed = 1);
Bytes BinaryCorpus(size_t size, uint32_t seed = 2);
Bytes RandomCorpus(size_t size, uint32_t seed = 3);

struct Corpus {
  std::string name;
  Bytes data;
};
// The inputs at the codec's edges: empty, 1 to 3 bytes, around the window size, a long run,
// alternation, repeats at the window's distance, a backup block of each kind, several blocks.
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
  // Encodes all the input with method 5; -1 when the encoder cannot get its memory.
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

// The raw "-lh5-" stream of `data` (method 5).
Bytes Lh5Encode(const Bytes& data);
// Decodes `uncompressedSize` bytes, reading at most `compressedSize` (default: all of `stream`).
// Sets *failCode to Decode's result when given.
Bytes Lh5Decode(const Bytes& stream, uint64_t uncompressedSize, int* failCode = nullptr,
                int64_t compressedSize = -1);

// A 60-byte block header made by hand: header length, stored and uncompressed sizes, CRC,
// method name and magic at their offsets; sector fields 0.
Bytes Header(uint16_t length, uint64_t stored, uint64_t uncompressed, uint32_t crc, const char* method,
             const char* magic = "ORVIMAGE");
uint32_t CrcOf(const Bytes& data);
Bytes Concat(std::initializer_list<Bytes> parts);

// Hand-made ".ovi" files, whole and damaged, with where and why a walk over their blocks stops:
// the table the container's tests and every tool that refuses a damaged file run.
struct WalkCase {
  const char* name;
  Bytes file;
  WalkEnd end;
  size_t blocks;
  uint64_t offset;
};
std::vector<WalkCase> WalkCases();

// A fresh, empty directory under the build tree for one test's files.
std::filesystem::path TempDir(const std::string& name);
Bytes ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const Bytes& data);

}  // namespace orv::test

// Helpers shared by the image tests: corpora built from a seed, and an LH5 codec that reads and
// writes memory instead of a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/lh5_codec.h"

namespace orv::test {

using Bytes = std::vector<uint8_t>;

// Deterministic corpora. Text: words and lines from a small vocabulary; binary: a mix of
// structured records, small integers and short runs, as executables and disc sectors look.
Bytes TextCorpus(size_t size, uint32_t seed = 1);
Bytes BinaryCorpus(size_t size, uint32_t seed = 2);
Bytes RandomCorpus(size_t size, uint32_t seed = 3);
Bytes ZeroCorpus(size_t size);

// A codec over memory: input from `input`, output appended to `output`. Counts the calls so
// tests can check how it reads.
class MemoryCodec : public Lh5Codec {
 public:
  Bytes input;
  size_t inputPos = 0;
  Bytes output;
  uint64_t readCalls = 0;
  uint64_t bytesAsked = 0;  // total asked through ReadInput
  int64_t failWritesAfter = -1;  // >= 0: WriteOutput comes back short after this many bytes
  int cancelAfterCalls = -1;     // >= 0: IsCancelled says yes after this many progress calls
  int progressCalls = 0;
  std::vector<int> failCodes;

 protected:
  int64_t ReadInput(BinaryFile*, uint8_t* buffer, uint32_t count) override;
  int64_t WriteOutput(BinaryFile*, const uint8_t* buffer, uint32_t count) override;
  int IsCancelled(void*) override { return cancelAfterCalls >= 0 && progressCalls > cancelAfterCalls; }
  int Progress(void*, int, uint64_t) override { ++progressCalls; return 0; }
  int Fail(int code) override { failCodes.push_back(code); return 0; }
};

// Encodes with method 5; the raw "-lh5-" stream.
Bytes Lh5Encode(const Bytes& data);
// Decodes `uncompressedSize` bytes from `stream` (all of it as the compressed size unless
// `compressedSize` is given). Sets *failCode to Decode's result when given.
Bytes Lh5Decode(const Bytes& stream, uint64_t uncompressedSize, int* failCode = nullptr,
                int64_t compressedSize = -1);

// A fresh, empty directory under the build tree for one test's files.
std::filesystem::path TempDir(const std::string& name);
Bytes ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const Bytes& data);

}  // namespace orv::test

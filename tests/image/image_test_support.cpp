#include "image_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "image/block_crc.h"
#include "toolkit/endian.h"

namespace orv::test {

Bytes TextCorpus(size_t size, uint32_t seed) {
  static const char* const kWords[] = {
      "the", "drive", "sector", "block", "image", "erase", "backup", "write", "read", "disc",
      "capacity", "of", "and", "to", "a", "is", "in", "that", "with", "format", "DVD-RAM",
      "partition", "table", "command", "transfer", "length", "buffer", "error", "status", "unit"};
  std::mt19937 rng(seed);
  std::string text;
  int wordsInLine = 0;
  while (text.size() < size) {
    text += kWords[rng() % std::size(kWords)];
    if (++wordsInLine > 8 + static_cast<int>(rng() % 6)) {
      text += rng() % 5 == 0 ? ".\r\n\r\n" : ".\r\n";
      wordsInLine = 0;
    } else {
      text += rng() % 11 == 0 ? ", " : " ";
    }
    if (rng() % 37 == 0) text += std::to_string(rng() % 100000);
  }
  return Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

Bytes BinaryCorpus(size_t size, uint32_t seed) {
  static const uint8_t kOps[] = {0x8B, 0x89, 0xE8, 0x55, 0x5D, 0xC3, 0x48, 0x83, 0xFF, 0x0F};
  std::mt19937 rng(seed);
  Bytes out;
  for (uint32_t address = 0x401000; out.size() < size;) {
    const uint32_t kind = rng() % 4;
    if (kind == 0) {  // a little-endian record with a growing address
      address += 4 * (rng() % 16);
      out.insert(out.end(), {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address >> 16), 0, static_cast<uint8_t>(rng() % 8), 0});
    } else if (kind == 1) {  // opcodes from a small set
      for (int i = 0; i < 8; ++i) out.push_back(kOps[rng() % std::size(kOps)]);
    } else if (kind == 2) {  // a short run of padding
      const uint32_t length = 1 + rng() % 24;
      out.insert(out.end(), length, rng() % 3 == 0 ? 0xCC : 0x00);
    } else {  // noise
      for (int i = 0; i < 6; ++i) out.push_back(static_cast<uint8_t>(rng()));
    }
  }
  out.resize(size);
  return out;
}

Bytes RandomCorpus(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng() >> 24);
  return out;
}

std::vector<Corpus> EdgeCorpora() {
  const Bytes half = RandomCorpus(8192, 9);  // repeated: matches from as far back as the window reaches
  const Bytes farRepeat = Concat({half, half});
  Bytes alternating;
  for (int i = 0; i < 5000; ++i) alternating.push_back(i % 2 ? 'b' : 'a');
  return {
      {"empty", {}}, {"one", {'A'}}, {"two", {'A', 'A'}}, {"three", {'A', 'A', 'A'}},
      {"text8191", TextCorpus(8191)}, {"text8192", TextCorpus(8192)}, {"text8193", TextCorpus(8193)},
      {"run1000", Bytes(1000, 'A')}, {"alternating", alternating}, {"window", farRepeat},
      {"text128k", TextCorpus(128 * 1024, 4)}, {"binary128k", BinaryCorpus(128 * 1024)},
      {"zeros128k", Bytes(128 * 1024, 0)}, {"random128k", RandomCorpus(128 * 1024)},
      {"text300k7", TextCorpus(300 * 1024 + 7, 5)},
  };
}

Bits& Bits::Put(int count, uint32_t value) {
  for (int i = count - 1; i >= 0; --i, ++bit) {
    if (bit % 8 == 0) bytes.push_back(0);
    if (value >> i & 1) bytes.back() = static_cast<uint8_t>(bytes.back() | (0x80 >> (bit % 8)));
  }
  return *this;
}

int64_t MemoryCodec::ReadInput(BinaryFile*, uint8_t* buffer, uint32_t count) {
  const size_t n = std::min<size_t>(count, input.size() - inputPos);
  if (n != 0) std::memcpy(buffer, input.data() + inputPos, n);
  inputPos += n;
  return static_cast<int64_t>(n);
}

int64_t MemoryCodec::WriteOutput(BinaryFile*, const uint8_t* buffer, uint32_t count) {
  const size_t n = std::min<size_t>(count, writeLimit - std::min(writeLimit, output.size()));
  output.insert(output.end(), buffer, buffer + n);
  return static_cast<int64_t>(n);
}

int MemoryCodec::DecodeInput(uint64_t size, int64_t limit) {
  uncompressedSize = size;
  compressedSize = limit < 0 ? input.size() : static_cast<uint64_t>(limit);
  return DecodeSetup() == 0 ? Decode() : -1;
}

Bytes Lh5Encode(const Bytes& data) {
  MemoryCodec codec(data);
  codec.EncodeInput();
  return codec.output;
}

Bytes Lh5Decode(const Bytes& stream, uint64_t uncompressedSize, int* failCode, int64_t compressedSize) {
  MemoryCodec codec(stream);
  const int result = codec.DecodeInput(uncompressedSize, compressedSize);
  if (failCode != nullptr) *failCode = result;
  return codec.output;
}

Bytes Header(uint16_t length, uint64_t stored, uint64_t uncompressed, uint32_t crc, const char* method,
             const char* magic) {
  Bytes h(60, 0);
  std::memcpy(h.data(), magic, 8);
  PutLe16(&h[8], length);
  PutLe64(&h[12], stored);
  PutLe64(&h[20], uncompressed);
  PutLe32(&h[48], crc);
  std::memcpy(&h[52], method, 8);
  return h;
}

uint32_t CrcOf(const Bytes& data) {
  BlockCrc crc;
  crc.Update(data.data(), data.size());
  return crc.Value();
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<WalkCase> WalkCases() {
  const Bytes payload = {9, 8, 7, 6};
  const Bytes good = Concat({Header(60, 4, 4, CrcOf(payload), "-nocomp-"), payload});  // 64 bytes
  const Bytes text(100, 'x');
  return {
      {"empty file", {}, WalkEnd::kNoClosingByte, 0, 0},
      {"only the closing byte", {0}, WalkEnd::kComplete, 0, 0},
      {"one block and the closing byte", Concat({good, {0}}), WalkEnd::kComplete, 1, 64},
      {"two blocks and the closing byte", Concat({good, good, {0}}), WalkEnd::kComplete, 2, 128},
      {"closing byte missing", good, WalkEnd::kNoClosingByte, 1, 64},
      {"closing byte 0xFF", Concat({good, {0xFF}}), WalkEnd::kBadClosingByte, 1, 64},
      {"cut one byte into the next header", Concat({good, {'O'}}), WalkEnd::kBadClosingByte, 1, 64},
      {"cut inside the next header", Concat({good, Bytes(good.begin(), good.begin() + 30)}), WalkEnd::kHeaderCut, 1, 64},
      {"cut inside the next block's data", Concat({good, Bytes(good.begin(), good.begin() + 62)}), WalkEnd::kDataCut, 2,
       128},
      {"stored size past what any file system seeks to", Concat({good, Header(60, uint64_t{1} << 50, 4, 0, "-nocomp-"), payload, {0}}),
       WalkEnd::kDataCut, 2, 64 + 60 + (uint64_t{1} << 50)},
      {"bytes after the closing byte", Concat({good, {0, 'J', 'U', 'N', 'K'}}), WalkEnd::kBytesAfterClosing, 1, 64},
      {"two closing bytes", Concat({good, {0, 0}}), WalkEnd::kBytesAfterClosing, 1, 64},
      {"wrong magic", Concat({good, Header(60, 4, 4, 0, "-nocomp-", "ORVIMAGX"), payload, {0}}), WalkEnd::kBadMagic, 1, 64},
      {"unknown method", Concat({good, Header(60, 4, 4, 0, "-lh7----"), payload, {0}}), WalkEnd::kBadMethod, 1, 64},
      {"header length 59", Concat({Header(59, 0, 0, 0, "-nocomp-"), {0}}), WalkEnd::kBadHeaderLength, 0, 0},
      {"stored size beyond any file", Concat({Header(60, ~0ull, 4, 0, "-nocomp-"), payload, {0}}),
       WalkEnd::kUnaddressable, 0, 0},
      {"a text file", text, WalkEnd::kBadMagic, 0, 0},
      {"a short text file", Bytes(text.begin(), text.begin() + 20), WalkEnd::kHeaderCut, 0, 0},
  };
}

std::filesystem::path TempDir(const std::string& name) {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string owner = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
  const std::filesystem::path dir = (binary != nullptr ? std::filesystem::path(binary) / "test-files"
                                                       : std::filesystem::temp_directory_path() / "orvane-test-files") /
                                    owner / name;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir);
  return dir;
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::filesystem::path& path, const Bytes& data) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

}  // namespace orv::test

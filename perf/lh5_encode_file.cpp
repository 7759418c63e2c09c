// Encodes one file with the LH5 codec and writes the raw stream to standard output: the
// digest check of the encoder's output (scripts/lh5-digests.sh) runs it over a set of corpora
// before and after a change to the encoder, which must leave every stream byte for byte the same.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/lh5_codec.h"

namespace {

class MemoryCodec : public orv::Lh5Codec {
 public:
  const std::vector<uint8_t>* in = nullptr;
  size_t inPos = 0;
  std::vector<uint8_t>* out = nullptr;
  // Reads of this many bytes at most, so that the encoder's handling of short reads is covered.
  uint32_t readLimit = 0xFFFFFFFFu;

 protected:
  int64_t ReadInput(orv::BinaryFile*, uint8_t* buffer, uint32_t count) override {
    size_t n = count < readLimit ? count : readLimit;
    if (n > in->size() - inPos) n = in->size() - inPos;
    if (n != 0) std::memcpy(buffer, in->data() + inPos, n);
    inPos += n;
    return static_cast<int64_t>(n);
  }
  int64_t WriteOutput(orv::BinaryFile*, const uint8_t* buffer, uint32_t count) override {
    out->insert(out->end(), buffer, buffer + count);
    return count;
  }
};

}  // namespace

// lh5_encode_file FILE [READ_LIMIT [OUTPUT_LIMIT [METHOD]]]
int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [READ_LIMIT [OUTPUT_LIMIT [METHOD]]]\n", argv[0]);
    return 2;
  }
  std::FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) return 2;
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + got);
  std::fclose(f);

  std::vector<uint8_t> stream;
  MemoryCodec codec;
  codec.in = &data;
  codec.out = &stream;
  if (argc > 2) codec.readLimit = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  if (argc > 3) codec.uncompressedSize = std::strtoull(argv[3], nullptr, 10);
  const int method = argc > 4 ? std::atoi(argv[4]) : 5;
  if (codec.EncodeAlloc(method) < 0) return 1;
  const int result = codec.Encode();
  std::fwrite(stream.data(), 1, stream.size(), stdout);
  std::fprintf(stderr, "read %llu written %llu result %d limit %d\n",
               static_cast<unsigned long long>(codec.uncompressedSize),
               static_cast<unsigned long long>(codec.compressedSize), result, codec.outputLimitReached ? 1 : 0);
  return 0;
}

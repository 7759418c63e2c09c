#include "image/block_encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "image/block_crc.h"
#include "image/lh5_codec.h"

namespace orv {

namespace {

// MSB-first bit packing, as the LH5 stream reads its fields.
class BitPacker {
 public:
  void Put(int count, uint32_t value) {
    for (int i = count - 1; i >= 0; --i) {
      if (bits_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bits_ % 8));
      ++bits_;
    }
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t bits_ = 0;
};

// A Huffman block of `symbols` copies of one literal/length symbol: the code-length tree, the
// literal/length tree and the position tree are each sent as "count 0, then the only symbol",
// after which a symbol takes no bits. Position symbol 0 is distance 1.
void PutSingleSymbolBlock(BitPacker& out, uint32_t symbols, uint32_t symbol) {
  out.Put(16, symbols);
  out.Put(lh5::kTBit, 0);
  out.Put(lh5::kTBit, 0);
  out.Put(lh5::kCBit, 0);
  out.Put(lh5::kCBit, symbol);
  out.Put(lh5::kPBit, 0);
  out.Put(lh5::kPBit, 0);
}

// The encoder reading from and writing to memory; the file handles it passes are never used.
class MemoryCodec : public Lh5Codec {
 public:
  MemoryCodec(const uint8_t* data, size_t bytes) : data_(data), left_(bytes) {
    inputHandle = &unused_;
    outputHandle = &unused_;
  }
  std::vector<uint8_t> output;

 protected:
  int64_t ReadInput(BinaryFile*, uint8_t* buffer, uint32_t count) override {
    const size_t n = std::min<size_t>(count, left_);
    std::memcpy(buffer, data_, n);
    data_ += n;
    left_ -= n;
    return static_cast<int64_t>(n);
  }
  int64_t WriteOutput(BinaryFile*, const uint8_t* buffer, uint32_t count) override {
    output.insert(output.end(), buffer, buffer + count);
    return count;
  }

 private:
  const uint8_t* data_;
  size_t left_;
  BinaryFile unused_;
};

// Bits per byte of the bytes' distribution (order-0 entropy).
double ByteEntropy(const uint8_t* data, size_t bytes) {
  std::array<uint64_t, 256> counts{};
  for (size_t i = 0; i < bytes; ++i) ++counts[data[i]];
  double bits = 0;
  for (const uint64_t n : counts) {
    if (n == 0) continue;
    const double p = static_cast<double>(n) / static_cast<double>(bytes);
    bits -= p * std::log2(p);
  }
  return bits;
}

// The LH5 stream of `bytes` bytes, or nothing when it would be no smaller than they are.
std::vector<uint8_t> Lh5Encode(const uint8_t* data, size_t bytes) {
  MemoryCodec codec(data, bytes);
  // The limit stops the encoder as soon as the stream would be no smaller than the data.
  codec.uncompressedSize = bytes;
  if (codec.EncodeAlloc(5) >= 0 && codec.Encode() == 0 && !codec.outputLimitReached && codec.output.size() < bytes)
    return std::move(codec.output);
  return {};
}

// True when the bytes look like random data (compressed video, archives, encrypted volumes),
// which LH5 would spend as long on as on text only to store them after all. Their distribution
// is near uniform, and LH5 shrinks none of a few samples spread over them; the samples catch what
// the distribution alone misses, such as a short random pattern repeated within LH5's window.
bool LooksIncompressible(const uint8_t* data, size_t bytes) {
  constexpr size_t kSample = 32768, kSamples = 4;
  if (bytes < kSample * kSamples || ByteEntropy(data, bytes) < 7.9) return false;
  for (size_t i = 0; i < kSamples; ++i) {
    const std::vector<uint8_t> coded = Lh5Encode(data + (bytes - kSample) / (kSamples - 1) * i, kSample);
    if (!coded.empty() && coded.size() < kSample * 98 / 100) return false;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> Lh5ZeroRunStream(uint64_t bytes) {
  BitPacker out;
  if (bytes == 0) return out.Take();
  // The decoder's window starts filled with spaces, so the first zero must be a literal.
  PutSingleSymbolBlock(out, 1, 0);
  constexpr uint64_t kMaxBlockSymbols = 0xFFFF;
  uint64_t matches = (bytes - 1) / lh5::kMaxMatch;
  const uint32_t tail = static_cast<uint32_t>((bytes - 1) % lh5::kMaxMatch);
  while (matches != 0) {
    const uint64_t symbols = std::min(matches, kMaxBlockSymbols);
    PutSingleSymbolBlock(out, static_cast<uint32_t>(symbols), lh5::kMaxMatch + lh5::kLengthSymbolBias);
    matches -= symbols;
  }
  if (tail >= lh5::kThreshold) PutSingleSymbolBlock(out, 1, tail + lh5::kLengthSymbolBias);
  else if (tail != 0) PutSingleSymbolBlock(out, tail, 0);
  return out.Take();
}

EncodedBlock EncodeBlockInMemory(const uint8_t* data, size_t bytes) {
  EncodedBlock block;
  BlockCrc crc;
  if (bytes != 0 && data[0] == 0 && std::memcmp(data, data + 1, bytes - 1) == 0) {
    crc.UpdateZeros(bytes);
    block.crc = crc.Value();
    block.method = BlockMethod::kLh5;
    block.stored = Lh5ZeroRunStream(bytes);
    return block;
  }
  crc.Update(data, bytes);
  block.crc = crc.Value();
  if (!LooksIncompressible(data, bytes)) {
    block.stored = Lh5Encode(data, bytes);
    if (!block.stored.empty()) {
      block.method = BlockMethod::kLh5;
      return block;
    }
  }
  block.stored.assign(data, data + bytes);
  return block;
}

}  // namespace orv

// The LH5 codec over memory: streams worked out by hand, fail codes, malformed and damaged
// streams (never read or written outside the buffers: the sanitizer builds run these too).
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <tuple>

#include "image/block_encoding.h"
#include "image/lh5_huffman.h"
#include "image_test_support.h"

namespace orv::test {
namespace {

// Empty input is the final 7 zero bits after an empty block. A run of 1000 identical bytes is one
// literal, three copies of 256 bytes at distance 1 and one of 231. Literal/length code: 509 -> 0,
// 'A' -> 10, 484 -> 11 (lengths 1, 2, 2, canonical). Its lengths go through the code-length code
// (symbol 2 -> 0, 3 -> 10, 4 -> 11) with zero runs of 65, 418 and 24; the position code has the
// one symbol 0 (distance 1) and takes no bits.
TEST(Lh5Codec, WritesTheStreamsWorkedOutByHand) {
  EXPECT_EQ(Lh5Encode({}), Bytes(7, 0));
  Bits b;
  b.Put(16, 5);                                                              // symbols in the block
  b.Put(5, 5).Length(0).Length(0).Length(1).Put(2, 0).Length(2).Length(2);  // code-length code
  b.Put(9, 510);                                                             // literal/length lengths
  b.Put(1, 0).Put(9, 65 - 20).Put(2, 3);                                     // 65 zeros; 'A': 2
  b.Put(1, 0).Put(9, 418 - 20).Put(2, 3);                                    // 418 zeros; 484: 2
  b.Put(1, 0).Put(9, 24 - 20).Put(2, 2);                                     // 24 zeros; 509: 1
  b.Put(4, 0).Put(4, 0);                                                     // position code: 0
  b.Put(2, 2).Put(1, 0).Put(1, 0).Put(1, 0).Put(2, 3);  // 'A', three copies of 256, one of 231
  b.Put(7, 0);                                           // flush: only whole bytes are written
  b.bytes.resize(b.bit / 8);
  EXPECT_EQ(Lh5Encode(Bytes(1000, 'A')), b.bytes);
  // 300 zeros: one literal 0, a copy of 256 and one of 43 at distance 1 (symbols 0, 509, 296),
  // each in a block of its own whose three trees name one symbol, so the symbols take no bits.
  b = Bits();
  for (const uint32_t symbol : {0u, 509u, 296u}) b.Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, symbol).Put(4, 0).Put(4, 0);
  b.Put(4, 0);
  b.bytes.resize(b.bit / 8);
  EXPECT_EQ(Lh5ZeroRunStream(300), b.bytes);
}

// A backup block of each kind round trip; text shrinks to a third, incompressible data grows
// only by the block overhead.
TEST(Lh5Codec, BackupBlocks) {
  EXPECT_LT(Lh5Encode(RandomCorpus(128 * 1024)).size(), 128u * 1024 * 102 / 100);
  Bytes repeated;  // evenly spread bytes, as random data has them, but repeating within LH5's window
  for (int i = 0; i < 64; ++i) repeated = Concat({repeated, RandomCorpus(4096)});
  const struct {
    const char* name;
    Bytes data;
    BlockMethod method;
    size_t mostStored;
  } cases[] = {
      {"zeros, 1 MiB", Bytes(1 << 20, 0), BlockMethod::kLh5, 20},  // three 52-bit blocks
      {"zeros, 2 bytes", Bytes(2, 0), BlockMethod::kLh5, 13},
      {"text", TextCorpus(256 * 1024), BlockMethod::kLh5, 256 * 1024 / 3},
      {"random", RandomCorpus(256 * 1024), BlockMethod::kStored, 256 * 1024},
      {"4 KiB of random data, 64 times", repeated, BlockMethod::kLh5, 256 * 1024 / 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const EncodedBlock e = EncodeBlockInMemory(c.data.data(), c.data.size());
    EXPECT_EQ(e.method, c.method);
    EXPECT_LE(e.stored.size(), c.mostStored);
    EXPECT_EQ(e.crc, CrcOf(c.data));
    MemoryCodec codec(e.stored);
    EXPECT_EQ(c.method == BlockMethod::kLh5 ? codec.DecodeInput(c.data.size()) : 0, 0);
    EXPECT_TRUE((c.method == BlockMethod::kLh5 ? codec.output : e.stored) == c.data);
    EXPECT_EQ(codec.compressedUsed, c.method == BlockMethod::kLh5 ? e.stored.size() : 0);  // the container checks it
  }
}

// Fibonacci counts: 24 symbols would take 23 bits, LH5 codes at most 16; the limited lengths must
// fill the code space exactly (else the decoder refuses the table), rarer symbols never shorter.
TEST(Lh5Huffman, CodesDeeperThan16BitsAreLimitedToACompleteCode) {
  constexpr int kCount = 24;
  uint32_t freq[kCount] = {1, 1};
  for (int i = 2; i < kCount; ++i) freq[i] = freq[i - 1] + freq[i - 2];
  uint8_t length[kCount] = {};
  uint16_t code[kCount] = {}, table[1 << 8], left[2 * kCount], right[2 * kCount];
  ASSERT_GE(lh5::MakeHuffmanCode(kCount, freq, length, code), kCount);
  EXPECT_EQ(*std::max_element(std::begin(length), std::end(length)), 16);
  EXPECT_TRUE(lh5::MakeDecodeTable(kCount, length, 8, table, left, right));
  for (int i = 1; i < kCount; ++i) EXPECT_LE(length[i], length[i - 1]) << "symbol " << i;
}

// A short write fails either side with code 7; the decoder without its dictionary with 2. (The
// encoder's output limit: the backup block table's random row, stored.)
TEST(Lh5Codec, StopsAtAShortWriteTheSizeOrTheStreamsEnd) {
  MemoryCodec shortWrite(TextCorpus(50000));
  shortWrite.writeLimit = 100;
  EXPECT_EQ(shortWrite.EncodeInput(), 7);
  EXPECT_EQ(shortWrite.failCodes, std::vector<int>{7});
  MemoryCodec decoder(Lh5Encode(TextCorpus(50000)));
  decoder.writeLimit = 8192;
  EXPECT_EQ(decoder.DecodeInput(50000), 7);
  EXPECT_EQ(decoder.output.size(), 8192u);
  MemoryCodec bare;
  bare.uncompressedSize = 10;
  EXPECT_EQ(bare.Decode(), 2);
  // The decoder stops at the uncompressed size and reads no further than the compressed size.
  const Bytes data = TextCorpus(20000);
  const Bytes stream = Lh5Encode(data);
  int fail = -1;
  EXPECT_TRUE(Lh5Decode(stream, 12345, &fail) == Bytes(data.begin(), data.begin() + 12345));
  EXPECT_EQ(fail, 0);
  MemoryCodec half(stream);  // zero bits come in past the compressed size
  half.DecodeInput(data.size(), static_cast<int64_t>(stream.size() / 2));
  EXPECT_LE(half.inputPos, stream.size() / 2);
  EXPECT_LE(half.output.size(), data.size());
}

// Method 5 answers with its window bits less 8; any other method with its own number.
TEST(Lh5Codec, EncodeAllocAnswersPerMethod) {
  for (const auto& [method, result, bits] : {std::tuple{5, 5, 13}, {1, 1, 12}, {7, 7, 13}, {0, 0, 13}}) {
    SCOPED_TRACE(method);
    MemoryCodec codec;
    EXPECT_EQ(codec.EncodeAlloc(method), result);
    EXPECT_EQ(codec.dictionaryBits, bits);
    codec.EncodeFree();
  }
}

// Streams of 1000 bytes built bit by bit: a block's symbol count (16 bits); a one-symbol table
// is a count of 0 and the symbol, in 5 bits for the code-length code, 9 for the literal/length
// code, 4 for the position code. A fault hands out what was decoded before it.
TEST(Lh5Decoder, MalformedStreamsFailOrStopAtTheSize) {
  const Bytes spaces(1000, 0x20);  // copies from the dictionary's fill
  const struct {
    const char* name;
    Bytes stream;
    int fail;
    Bytes out;
  } cases[] = {
      {"block of 0 symbols", Bits().Put(16, 0).Put(10, 0).Put(9, 0).Put(9, 'a').Put(8, 0).bytes, 3, {}},
      {"one-symbol code-length code out of range", Bits().Put(16, 10).Put(5, 0).Put(5, 19).bytes, 3, {}},
      {"one-symbol literal code out of range", Bits().Put(16, 10).Put(10, 0).Put(9, 0).Put(9, 510).bytes, 3, {}},
      {"one-symbol position code out of range",
       Bits().Put(16, 10).Put(10, 0).Put(9, 0).Put(9, 'a').Put(4, 0).Put(4, 14).bytes, 3, {}},
      {"incomplete code-length code", Bits().Put(16, 10).Put(5, 1).Length(1).Put(2, 0).bytes, 3, {}},
      {"over-subscribed code-length code",
       Bits().Put(16, 10).Put(5, 3).Length(1).Length(1).Length(1).Put(2, 0).bytes, 3, {}},
      {"code length above 16", Bits().Put(16, 10).Put(5, 2).Put(3, 7).Put(14, 0x3FFF).bytes, 3, {}},
      {"more code lengths than symbols", Bits().Put(16, 10).Put(5, 20).bytes, 3, {}},
      // Code-length code: symbols 0 and 2 of length 1; then symbol 2 is a run of 20 + 511 zeros.
      {"zero run past the alphabet",
       Bits().Put(16, 10).Put(5, 3).Length(1).Length(0).Length(1).Put(2, 0).Put(9, 510).Put(1, 1).Put(9, 511).bytes, 3,
       {}},
      // Copies of 256 bytes (symbol 509) at distance 1: overlapping, from before the data's start.
      {"copies running past the end", Bits().Put(16, 100).Put(10, 0).Put(9, 0).Put(9, 509).Put(8, 0).bytes, 0,
       spaces},
      // Position bit length 13 with 12 zero extra bits: distance 4097, far into the fill.
      {"copies from the far fill",
       Bits().Put(16, 4).Put(10, 0).Put(9, 0).Put(9, 509).Put(4, 0).Put(4, 13).bytes, 0, spaces},
      // 100 literals 'a' in a one-symbol block (no bits per symbol), then a block of 0 symbols.
      {"fault after good data",
       Bits().Put(16, 100).Put(10, 0).Put(9, 0).Put(9, 'a').Put(8, 0).Put(16, 0).Put(16, 0).bytes, 3, Bytes(100, 'a')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int fail = -1;
    const Bytes out = Lh5Decode(c.stream, 1000, &fail);
    EXPECT_EQ(fail, c.fail);
    EXPECT_EQ(out, c.out);
  }
}

// Flipped bits and streams cut short (known to be, or not): a success delivered the whole size,
// a failure less. A huge uncompressed size ends soon after the stream (an empty block or no bits).
TEST(Lh5Decoder, DamagedStreamsNeverOverrunTheOutput) {
  const Bytes data = BinaryCorpus(60000, 22);
  const Bytes stream = Lh5Encode(data);
  auto check = [&](const Bytes& damaged, int64_t compressedSize, const std::string& what) {
    int fail = -1;
    const size_t produced = Lh5Decode(damaged, data.size(), &fail, compressedSize).size();
    EXPECT_TRUE(fail == 0 ? produced == data.size() : produced < data.size()) << what << ": " << fail;
  };
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = stream;
    for (uint32_t i = rng() % 4; i < 4; ++i) damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    check(damaged, -1, "flipped, round " + std::to_string(round));
  }
  for (size_t keep : {size_t{0}, size_t{1}, size_t{5}, stream.size() / 3, stream.size() - 1}) {
    const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(keep));
    check(cut, static_cast<int64_t>(stream.size()), "cut at " + std::to_string(keep));
    check(cut, -1, "known cut at " + std::to_string(keep));
  }
  int fail = 0;
  EXPECT_LT(Lh5Decode(Lh5Encode(TextCorpus(5000, 23)), uint64_t{1} << 40, &fail).size(), 64u * 1024 * 1024);
  EXPECT_NE(fail, 0);
}

// Every edge corpus there and back. A block's check relies on the decoder saying how many stream
// bytes its symbols took, whatever it loaded ahead or follows: every stream ends exactly there
// (its last bits flushed to a whole byte); empty data takes no symbol, so no bit.
TEST(Lh5Decoder, RoundTripsAndCountsTheStreamBytesItsSymbolsTook) {
  for (const Corpus& c : EdgeCorpora()) {
    SCOPED_TRACE(c.name);
    const Bytes stream = Lh5Encode(c.data);
    for (size_t extra : {size_t{0}, size_t{1}, size_t{8}, size_t{100}}) {
      Bytes padded = stream;
      padded.insert(padded.end(), extra, 0x4F);  // the "O" of a next header's magic
      MemoryCodec codec(padded);
      EXPECT_EQ(codec.DecodeInput(c.data.size()), 0) << extra;
      EXPECT_TRUE(codec.output == c.data) << extra;
      EXPECT_EQ(codec.compressedUsed, c.data.empty() ? 0 : stream.size()) << extra;
    }
  }
}

}  // namespace
}  // namespace orv::test

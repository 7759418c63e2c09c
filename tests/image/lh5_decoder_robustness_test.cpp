// Malformed streams: the decoder stops at the uncompressed size or fails the block, and never
// reads or writes outside its buffers (the sanitizer builds run these too).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "image_test_support.h"

namespace orv::test {
namespace {

// Builds a bit stream most significant bit first.
class Bits {
 public:
  Bits& Put(int count, uint32_t value) {
    for (int i = count - 1; i >= 0; --i) {
      if (bit_ % 8 == 0) bytes_.push_back(0);
      if (value >> i & 1) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> (bit_ % 8)));
      ++bit_;
    }
    return *this;
  }
  // A code length in the 3-bit / run-of-ones form of the small tables.
  Bits& Length(int k) { return k <= 6 ? Put(3, static_cast<uint32_t>(k)) : Put(k - 3, (1u << (k - 3)) - 2); }
  Bytes Done() const { return bytes_; }

 private:
  Bytes bytes_;
  size_t bit_ = 0;
};

// Block header pieces.
Bits& SingleT(Bits& b, uint32_t symbol) { return b.Put(5, 0).Put(5, symbol); }
Bits& SingleC(Bits& b, uint32_t symbol) { return b.Put(9, 0).Put(9, symbol); }
Bits& SingleP(Bits& b, uint32_t symbol) { return b.Put(4, 0).Put(4, symbol); }

struct Case {
  const char* name;
  Bytes stream;
  int expectedFail;  // Decode's result
};

std::vector<Case> MalformedCases() {
  std::vector<Case> cases;
  {
    Bits b;
    b.Put(16, 0);
    SingleT(b, 0);
    SingleC(b, 'a');
    SingleP(b, 0);
    cases.push_back({"block of 0 symbols", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10);
    SingleT(b, 19);
    cases.push_back({"one-symbol code-length code out of range", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10);
    SingleT(b, 0);
    SingleC(b, 510);
    cases.push_back({"one-symbol literal code out of range", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10);
    SingleT(b, 0);
    SingleC(b, 'a');
    SingleP(b, 14);
    cases.push_back({"one-symbol position code out of range", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10).Put(5, 1).Length(1).Put(2, 0);
    cases.push_back({"incomplete code-length code", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10).Put(5, 3).Length(1).Length(1).Length(1).Put(2, 0);
    cases.push_back({"over-subscribed code-length code", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10).Put(5, 2).Put(3, 7).Put(14, 0x3FFF);
    cases.push_back({"code length above 16", b.Done(), 3});
  }
  {
    Bits b;
    b.Put(16, 10).Put(5, 20);
    cases.push_back({"more code lengths than symbols", b.Done(), 3});
  }
  {
    // Code-length code: symbols 0 and 2 of length 1. Literal lengths: count 510, then symbol 2
    // (a run of 20 + 511 zeros) runs past the alphabet.
    Bits b;
    b.Put(16, 10).Put(5, 3).Length(1).Length(0).Length(1).Put(2, 0);
    b.Put(9, 510).Put(1, 1).Put(9, 511);
    cases.push_back({"zero run past the alphabet", b.Done(), 3});
  }
  {
    // One length-256 copy at distance 1 repeated: stops at the size (spaces from the start).
    Bits b;
    b.Put(16, 100);
    SingleT(b, 0);
    SingleC(b, 509);
    SingleP(b, 0);
    cases.push_back({"copies running past the end", b.Done(), 0});
  }
  return cases;
}

TEST(Lh5Decoder, MalformedStreamsFailOrStopAtTheSize) {
  for (const Case& c : MalformedCases()) {
    SCOPED_TRACE(c.name);
    int fail = -1;
    const Bytes out = Lh5Decode(c.stream, 1000, &fail);
    EXPECT_EQ(fail, c.expectedFail);
    if (c.expectedFail == 0) {
      EXPECT_EQ(out, Bytes(1000, 0x20));
    } else {
      EXPECT_LT(out.size(), 1000u);
    }
  }
}

TEST(Lh5Decoder, FlippedBitsNeverOverrunTheOutput) {
  const Bytes data = TextCorpus(30000, 21);
  const Bytes stream = Lh5Encode(data);
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = stream;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    int fail = -1;
    const Bytes out = Lh5Decode(damaged, data.size(), &fail);
    ASSERT_LE(out.size(), data.size()) << "round " << round;
    if (fail == 0) {
      ASSERT_EQ(out.size(), data.size()) << "round " << round;
    }
  }
}

TEST(Lh5Decoder, TruncatedStreamsEnd) {
  const Bytes data = BinaryCorpus(60000, 22);
  const Bytes stream = Lh5Encode(data);
  for (size_t keep : {size_t{0}, size_t{1}, size_t{5}, stream.size() / 3, stream.size() - 1}) {
    SCOPED_TRACE(keep);
    const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(keep));
    int fail = -1;
    // The header still claims the whole stream: the missing bytes read as 0xFF.
    EXPECT_LE(Lh5Decode(cut, data.size(), &fail, static_cast<int64_t>(stream.size())).size(), data.size());
    // Or it knows the shorter size: zero bits follow.
    EXPECT_LE(Lh5Decode(cut, data.size(), &fail).size(), data.size());
  }
}

TEST(Lh5Decoder, LyingUncompressedSizeEndsSoonAfterTheStream) {
  const Bytes stream = Lh5Encode(TextCorpus(5000, 23));
  int fail = -1;
  const Bytes out = Lh5Decode(stream, uint64_t{1} << 40, &fail);
  EXPECT_NE(fail, 0);  // the zero bits after the stream read as an empty block (3) or run out (4)
  EXPECT_LT(out.size(), 64u * 1024 * 1024);
}

}  // namespace
}  // namespace orv::test

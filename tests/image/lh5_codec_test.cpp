#include <gtest/gtest.h>

#include "image/crc16.h"
#include "image_test_support.h"

namespace orv::test {
namespace {

struct Corpus {
  const char* name;
  Bytes data;
};

std::vector<Corpus> RoundTripCorpora() {
  Bytes run1000(1000, 'A');
  Bytes abab;
  for (int i = 0; i < 5000; ++i) abab.push_back(static_cast<uint8_t>(i % 2 ? 'b' : 'a'));
  // A text with repeats at every distance up to the window: matches near 8192 bytes back.
  Bytes farRepeat = RandomCorpus(8192, 9);
  Bytes again = farRepeat;
  farRepeat.insert(farRepeat.end(), again.begin(), again.end());
  return {
      {"empty", {}},
      {"one byte", {0x41}},
      {"two bytes", {0x41, 0x41}},
      {"three bytes", {0x41, 0x41, 0x41}},
      {"text 8191", TextCorpus(8191)},
      {"text 8192", TextCorpus(8192)},
      {"text 8193", TextCorpus(8193)},
      {"run of 1000", run1000},
      {"alternating", abab},
      {"window-distance repeat", farRepeat},
      {"text 128 KiB", TextCorpus(128 * 1024)},
      {"binary 128 KiB", BinaryCorpus(128 * 1024)},
      {"zeros 128 KiB", ZeroCorpus(128 * 1024)},
      {"random 128 KiB", RandomCorpus(128 * 1024)},
      {"text 300 KiB + 7", TextCorpus(300 * 1024 + 7, 5)},
  };
}

TEST(Lh5Codec, RoundTripsEveryCorpus) {
  for (const Corpus& c : RoundTripCorpora()) {
    SCOPED_TRACE(c.name);
    Bytes stream = Lh5Encode(c.data);
    ASSERT_FALSE(stream.empty());
    int fail = -99;
    Bytes back = Lh5Decode(stream, c.data.size(), &fail);
    EXPECT_EQ(fail, 0);
    EXPECT_TRUE(back == c.data);
  }
}

TEST(Lh5Codec, EmptyInputIsSevenZeroBytes) {
  EXPECT_EQ(Lh5Encode({}), Bytes(7, 0));
}

// The whole stream of a run of 1000 identical bytes, worked out by hand: one literal, three
// copies of 256 bytes at distance 1 and one of 231. Literal/length code: 509 -> 0, 'A' -> 10,
// 484 -> 11 (lengths 1, 2, 2, canonical). Its lengths go through the code-length code
// (symbol 2 -> 0, 3 -> 10, 4 -> 11) with zero runs of 65, 418 and 24; the position code has the
// one symbol 0 (distance 1) and takes no bits.
TEST(Lh5Codec, RunOf1000IsOneLiteralAndFourCopies) {
  std::string bits;
  auto put = [&bits](int count, uint32_t value) {
    for (int i = count - 1; i >= 0; --i) bits += (value >> i & 1) ? '1' : '0';
  };
  put(16, 5);                                    // symbols in the block
  put(5, 5);                                     // code-length code: 5 lengths
  put(3, 0), put(3, 0), put(3, 1), put(2, 0);    // 0, 0, 1, then no zeros skipped
  put(3, 2), put(3, 2);                          // 2, 2
  put(9, 510);                                   // literal/length lengths: 510
  put(1, 0), put(9, 65 - 20);                    // 65 zeros
  put(2, 3);                                     // 'A': length 2
  put(1, 0), put(9, 418 - 20);                   // 418 zeros
  put(2, 3);                                     // 484: length 2
  put(1, 0), put(9, 24 - 20);                    // 24 zeros
  put(2, 2);                                     // 509: length 1
  put(4, 0), put(4, 0);                          // position code: the one symbol 0
  put(2, 2);                                     // 'A'
  put(1, 0), put(1, 0), put(1, 0);               // three copies of 256
  put(2, 3);                                     // one copy of 231
  put(7, 0);                                     // flush
  Bytes expected(bits.size() / 8, 0);
  for (size_t i = 0; i < expected.size() * 8; ++i) {
    if (bits[i] == '1') expected[i / 8] = static_cast<uint8_t>(expected[i / 8] | (0x80 >> (i % 8)));
  }
  EXPECT_EQ(Lh5Encode(Bytes(1000, 'A')), expected);
}

TEST(Lh5Codec, CompressesWhatRepeats) {
  EXPECT_LT(Lh5Encode(TextCorpus(128 * 1024)).size(), 128u * 1024 / 3);
  // Incompressible data grows only by the block overhead.
  EXPECT_LT(Lh5Encode(RandomCorpus(128 * 1024)).size(), 128u * 1024 * 102 / 100);
}

TEST(Lh5Codec, OutputLimitStopsTheEncoder) {
  MemoryCodec codec;
  codec.input = RandomCorpus(50000);
  codec.uncompressedSize = 1000;  // limit on the output
  ASSERT_EQ(codec.EncodeAlloc(5), 5);
  codec.Encode();
  EXPECT_TRUE(codec.outputLimitReached);
  EXPECT_EQ(codec.output.size(), 1000u);
}

TEST(Lh5Codec, ShortWriteFailsWithCode7) {
  MemoryCodec codec;
  codec.input = TextCorpus(50000);
  codec.failWritesAfter = 100;
  ASSERT_EQ(codec.EncodeAlloc(5), 5);
  EXPECT_EQ(codec.Encode(), 7);
  EXPECT_EQ(codec.failCodes, std::vector<int>{7});

  MemoryCodec decoder;
  decoder.input = Lh5Encode(TextCorpus(50000));
  decoder.uncompressedSize = 50000;
  decoder.compressedSize = decoder.input.size();
  decoder.failWritesAfter = 8192;
  ASSERT_EQ(decoder.DecodeSetup(), 0);
  EXPECT_EQ(decoder.Decode(), 7);
  EXPECT_EQ(decoder.output.size(), 8192u);
}

TEST(Lh5Codec, DecodeWithoutDictionaryFailsWithCode2) {
  MemoryCodec codec;
  codec.uncompressedSize = 10;
  EXPECT_EQ(codec.Decode(), 2);
}

TEST(Lh5Codec, Crc16IsTheArcChecksumOfTheUncompressedBytes) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16Update(0, check, sizeof check), 0xBB3D);

  Bytes data = TextCorpus(30000);
  const uint16_t expected = Crc16Update(0, data.data(), data.size());
  MemoryCodec encoder;
  encoder.input = data;
  encoder.crc16Enabled = true;
  ASSERT_EQ(encoder.EncodeAlloc(5), 5);
  encoder.Encode();
  EXPECT_EQ(encoder.crc16, expected);
  EXPECT_EQ(encoder.crc16Bytes, data.size());

  MemoryCodec decoder;
  decoder.input = encoder.output;
  decoder.uncompressedSize = data.size();
  decoder.compressedSize = encoder.output.size();
  decoder.crc16Enabled = true;
  ASSERT_EQ(decoder.DecodeSetup(), 0);
  EXPECT_EQ(decoder.Decode(), 0);
  EXPECT_EQ(decoder.crc16, expected);
  EXPECT_GT(decoder.progressCalls, 0);

  // Switched off, the codec neither counts nor asks to cancel.
  MemoryCodec quiet;
  quiet.input = data;
  quiet.cancelAfterCalls = 0;
  ASSERT_EQ(quiet.EncodeAlloc(5), 5);
  EXPECT_EQ(quiet.Encode(), 0);
  EXPECT_EQ(quiet.progressCalls, 0);
}

TEST(Lh5Codec, CancelFailsWithCode1) {
  MemoryCodec codec;
  codec.input = TextCorpus(100000);
  codec.crc16Enabled = true;
  codec.cancelAfterCalls = 2;
  ASSERT_EQ(codec.EncodeAlloc(5), 5);
  EXPECT_EQ(codec.Encode(), 1);
}

TEST(Lh5Codec, DecoderStopsAtTheUncompressedSize) {
  Bytes data = TextCorpus(20000);
  Bytes stream = Lh5Encode(data);
  for (uint64_t size : {uint64_t{0}, uint64_t{1}, uint64_t{8191}, uint64_t{8192}, uint64_t{12345}}) {
    SCOPED_TRACE(size);
    int fail = -1;
    Bytes part = Lh5Decode(stream, size, &fail);
    EXPECT_EQ(fail, 0);
    EXPECT_TRUE(part == Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size)));
  }
}

TEST(Lh5Codec, DecoderReadsNoFurtherThanTheCompressedSize) {
  Bytes data = TextCorpus(20000);
  Bytes stream = Lh5Encode(data);
  MemoryCodec codec;
  codec.input = stream;
  codec.uncompressedSize = data.size();
  codec.compressedSize = stream.size() / 2;
  ASSERT_EQ(codec.DecodeSetup(), 0);
  codec.Decode();
  EXPECT_LE(codec.inputPos, stream.size() / 2);
  EXPECT_LE(codec.output.size(), data.size());
  // With the whole size it takes every byte the encoder wrote.
  MemoryCodec whole;
  whole.input = stream;
  whole.uncompressedSize = data.size();
  whole.compressedSize = stream.size();
  ASSERT_EQ(whole.DecodeSetup(), 0);
  EXPECT_EQ(whole.Decode(), 0);
  EXPECT_EQ(whole.inputPos, stream.size());
}

TEST(Lh5Codec, DictionaryStartsAsSpaces) {
  // Block of 1 symbol: a single-symbol literal/length code naming length 3 (symbol 256) and a
  // single-symbol position code naming bit length 13 (value 4096 + 13 bits): a copy from before
  // the start of the data reads the 0x20 fill.
  // 16 bits count=1 | TBIT 0, TBIT 0 | CBIT 0, CBIT 256 | PBIT 0, PBIT 13 | 12 extra bits
  std::string bits = "0000000000000001" "00000" "00000" "000000000" "100000000" "0000" "1101" "000000000000";
  Bytes stream((bits.size() + 7) / 8, 0);
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') stream[i / 8] = static_cast<uint8_t>(stream[i / 8] | (0x80 >> (i % 8)));
  }
  int fail = -1;
  EXPECT_EQ(Lh5Decode(stream, 3, &fail), Bytes(3, 0x20));
  EXPECT_EQ(fail, 0);
}

}  // namespace
}  // namespace orv::test

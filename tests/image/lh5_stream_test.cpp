// The threaded streams: whole pieces out, prompt stops, failures as results (blocks back to back
// through one encode stream: ImageFile's round trip). Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <thread>  // steady_clock; <chrono> itself does not build with a CP932 execution charset

#include "image/binary_file.h"
#include "image/lh5_decode_stream.h"
#include "image/lh5_encode_stream.h"
#include "image_test_support.h"

namespace orv::test {
namespace {

TEST(Lh5Streams, EncodeStreamWithAFailedWorkerComesBackShort) {
  Lh5EncodeStream stream;  // no output file: the first compressed byte fails
  ASSERT_EQ(stream.Start(), 0);
  const Bytes data = RandomCorpus(1024 * 1024);
  uint64_t accepted = 0;
  for (size_t at = 0; at < data.size(); at += 65536) accepted += stream.Write(65536, data.data() + at);
  EXPECT_LT(accepted, data.size());
  stream.Close();
  EXPECT_EQ(stream.RunResult(), 7);
}

TEST(Lh5Streams, AbandonedEncodeStreamStopsWithoutWriting) {
  BinaryFile file;
  ASSERT_EQ(file.Open(TempDir("streams-abandon") / "out.bin", BinaryFile::Mode::kCreate), 0);
  {
    Lh5EncodeStream stream;
    stream.outputHandle = &file;
    ASSERT_EQ(stream.Start(), 0);
    const Bytes data = TextCorpus(1000);
    EXPECT_EQ(stream.Write(data.size(), data.data()), data.size());
  }
  EXPECT_EQ(file.Tell(), 0);
}

// A decode stream over an image-like file: 10 other bytes, then the stream of the data.
class DecodeStreamTest : public ::testing::Test {
 protected:
  void Start(const Bytes& data, bool ruinTables = false) {
    stream_ = Lh5Encode(data);
    // The first block's code-length table: all ones.
    if (ruinTables) std::fill(stream_.begin() + 2, stream_.begin() + 10, 0xFF);
    Bytes content(10 + stream_.size(), 0xEE);
    std::copy(stream_.begin(), stream_.end(), content.begin() + 10);
    const auto path = TempDir("streams-decode") / "in.bin";
    WriteWholeFile(path, content);
    ASSERT_EQ(file_.Open(path, BinaryFile::Mode::kRead), 0);
    ASSERT_EQ(file_.Seek(10, BinaryFile::kBegin), 10);
    decoder_.inputHandle = &file_;
    decoder_.uncompressedSize = data.size();
    decoder_.compressedSize = stream_.size();
    ASSERT_EQ(decoder_.Start(), 0);
  }
  Bytes stream_;
  BinaryFile file_;
  Lh5DecodeStream decoder_;  // stops before the file closes
};

// 200000 bytes in three whole 65536-byte requests and the short rest.
TEST_F(DecodeStreamTest, HandsOutWholeRequestsUntilTheEndOfTheBlock) {
  const Bytes data = BinaryCorpus(200000);
  Start(data);
  Bytes got, piece(65536);
  for (uint64_t n; (n = decoder_.Read(piece.size(), piece.data())) != 0;) {
    ASSERT_EQ(n, std::min<uint64_t>(piece.size(), data.size() - got.size()));
    got.insert(got.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
  }
  EXPECT_TRUE(got == data);
  decoder_.Close();
  EXPECT_EQ(decoder_.RunResult(), 0);
  EXPECT_EQ(file_.Tell(), static_cast<int64_t>(10 + stream_.size()));
}

TEST_F(DecodeStreamTest, ClosingEarlyReturnsPromptly) {
  Start(Bytes(4 * 1024 * 1024, 0));
  Bytes piece(4096);
  ASSERT_EQ(decoder_.Read(piece.size(), piece.data()), piece.size());
  const auto start = std::chrono::steady_clock::now();
  decoder_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(decoder_.RunResult(), 7);
}

TEST_F(DecodeStreamTest, CorruptStreamEndsTheBlockEarly) {
  Start(TextCorpus(200000), true);
  Bytes piece(65536);
  uint64_t total = 0;
  for (uint64_t n; (n = decoder_.Read(piece.size(), piece.data())) != 0;) total += n;
  EXPECT_LT(total, 200000u);
  decoder_.Close();
  EXPECT_EQ(decoder_.RunResult(), 3);
}

}  // namespace
}  // namespace orv::test

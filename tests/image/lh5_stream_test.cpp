// The threaded streams: whole pieces in and out, the file position after Close, prompt stops.
// Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <thread>  // steady_clock; <chrono> itself does not build with a CP932 execution charset

#include "image/binary_file.h"
#include "image/lh5_decode_stream.h"
#include "image/lh5_encode_stream.h"
#include "image_test_support.h"

namespace orv::test {
namespace {

// Encodes `data` through an encode stream into `file` after `prefix` bytes of other content,
// written in pieces of `piece` bytes; returns the stream's length.
uint64_t EncodeThroughStream(BinaryFile& file, const Bytes& data, size_t piece, Lh5EncodeStream& stream) {
  stream.outputHandle = &file;
  EXPECT_EQ(stream.Start(), 0);
  for (size_t at = 0; at < data.size(); at += piece) {
    const size_t n = std::min(piece, data.size() - at);
    EXPECT_EQ(stream.Write(n, data.data() + at), n) << "write at " << at;
  }
  EXPECT_EQ(stream.Close(), 0);
  EXPECT_EQ(stream.RunResult(), 0);
  return stream.compressedSize;
}

TEST(Lh5Streams, EncodeStreamWritesAStandardStreamAndStopsRightAfterIt) {
  const auto dir = TempDir("streams-encode");
  struct Case {
    const char* name;
    Bytes data;
    size_t piece;
  };
  const Case cases[] = {
      {"4096 bytes then Close", TextCorpus(4096), 4096},
      {"1 MiB in 2048-byte pieces", BinaryCorpus(1024 * 1024), 2048},
      {"nothing", {}, 1},
      {"odd pieces across windows", TextCorpus(100000), 7777},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BinaryFile file;
    ASSERT_EQ(file.Open(dir / "out.bin", BinaryFile::Mode::kCreate), 0);
    ASSERT_EQ(file.Write("PREFIX", 6), 6);
    Lh5EncodeStream stream;
    const uint64_t length = EncodeThroughStream(file, c.data, c.piece, stream);
    EXPECT_EQ(file.Tell(), static_cast<int64_t>(6 + length));
    EXPECT_EQ(stream.uncompressedSize, c.data.size());
    ASSERT_EQ(file.Close(), 0);
    Bytes written = ReadWholeFile(dir / "out.bin");
    ASSERT_EQ(written.size(), 6 + length);
    int fail = -1;
    EXPECT_TRUE(Lh5Decode(Bytes(written.begin() + 6, written.end()), c.data.size(), &fail) == c.data);
    EXPECT_EQ(fail, 0);
  }
}

TEST(Lh5Streams, EncodeStreamRunsAgainForTheNextBlock) {
  const auto dir = TempDir("streams-again");
  BinaryFile file;
  ASSERT_EQ(file.Open(dir / "out.bin", BinaryFile::Mode::kCreate), 0);
  Lh5EncodeStream stream;
  const Bytes first = TextCorpus(20000, 1);
  const Bytes second = BinaryCorpus(30000, 2);
  const uint64_t a = EncodeThroughStream(file, first, 5000, stream);
  const uint64_t b = EncodeThroughStream(file, second, 5000, stream);
  ASSERT_EQ(file.Close(), 0);
  Bytes all = ReadWholeFile(dir / "out.bin");
  ASSERT_EQ(all.size(), a + b);
  EXPECT_TRUE(Lh5Decode(Bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(a)), first.size()) == first);
  EXPECT_TRUE(Lh5Decode(Bytes(all.begin() + static_cast<std::ptrdiff_t>(a), all.end()), second.size()) == second);
}

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
  const auto dir = TempDir("streams-abandon");
  BinaryFile file;
  ASSERT_EQ(file.Open(dir / "out.bin", BinaryFile::Mode::kCreate), 0);
  {
    Lh5EncodeStream stream;
    stream.outputHandle = &file;
    ASSERT_EQ(stream.Start(), 0);
    const Bytes data = TextCorpus(1000);
    EXPECT_EQ(stream.Write(data.size(), data.data()), data.size());
  }
  EXPECT_EQ(file.Tell(), 0);
}

class DecodeStreamTest : public ::testing::Test {
 protected:
  // An image-like file: 10 bytes, then the stream of `data`.
  void Prepare(const Bytes& data) {
    data_ = data;
    stream_ = Lh5Encode(data);
    Bytes content(10 + stream_.size(), 0xEE);
    std::copy(stream_.begin(), stream_.end(), content.begin() + 10);
    path_ = TempDir("streams-decode") / "in.bin";
    WriteWholeFile(path_, content);
    ASSERT_EQ(file_.Open(path_, BinaryFile::Mode::kRead), 0);
    ASSERT_EQ(file_.Seek(10, BinaryFile::kBegin), 10);
    decoder_.inputHandle = &file_;
    decoder_.uncompressedSize = data.size();
    decoder_.compressedSize = stream_.size();
  }
  Bytes data_;
  Bytes stream_;
  std::filesystem::path path_;
  BinaryFile file_;
  Lh5DecodeStream decoder_;
};

TEST_F(DecodeStreamTest, HandsOutWholeRequestsUntilTheEnd) {
  Prepare(TextCorpus(262144));
  ASSERT_EQ(decoder_.Start(), 0);
  Bytes got;
  Bytes piece(65536);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(decoder_.Read(piece.size(), piece.data()), piece.size()) << "request " << i;
    got.insert(got.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(decoder_.Read(piece.size(), piece.data()), 0u);
  EXPECT_TRUE(got == data_);
  decoder_.Close();
  EXPECT_EQ(decoder_.RunResult(), 0);
  EXPECT_EQ(file_.Tell(), static_cast<int64_t>(10 + stream_.size()));
}

TEST_F(DecodeStreamTest, LastRequestIsShortAtTheEndOfTheBlock) {
  Prepare(BinaryCorpus(100000));
  ASSERT_EQ(decoder_.Start(), 0);
  Bytes piece(65536);
  EXPECT_EQ(decoder_.Read(piece.size(), piece.data()), 65536u);
  EXPECT_EQ(decoder_.Read(piece.size(), piece.data()), 100000u - 65536u);
  EXPECT_EQ(decoder_.Read(piece.size(), piece.data()), 0u);
}

TEST_F(DecodeStreamTest, ClosingEarlyReturnsPromptly) {
  Prepare(ZeroCorpus(4 * 1024 * 1024));
  ASSERT_EQ(decoder_.Start(), 0);
  Bytes piece(4096);
  ASSERT_EQ(decoder_.Read(piece.size(), piece.data()), piece.size());
  const auto start = std::chrono::steady_clock::now();
  decoder_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(decoder_.RunResult(), 7);
}

TEST_F(DecodeStreamTest, CorruptStreamEndsTheBlockEarly) {
  Prepare(TextCorpus(200000));
  // Ruin the first block's code-length table: all ones.
  Bytes content = ReadWholeFile(path_);
  for (size_t i = 12; i < 20; ++i) content[i] = 0xFF;
  file_.Close();
  WriteWholeFile(path_, content);
  ASSERT_EQ(file_.Open(path_, BinaryFile::Mode::kRead), 0);
  ASSERT_EQ(file_.Seek(10, BinaryFile::kBegin), 10);
  ASSERT_EQ(decoder_.Start(), 0);
  Bytes piece(65536);
  uint64_t total = 0;
  uint64_t n;
  while ((n = decoder_.Read(piece.size(), piece.data())) != 0) total += n;
  EXPECT_LT(total, data_.size());
  decoder_.Close();
  EXPECT_EQ(decoder_.RunResult(), 3);
}

}  // namespace
}  // namespace orv::test

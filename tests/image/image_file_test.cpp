// The ".ovi" container: CRC, round trips, header bytes, walks over damaged and hostile files;
// what the tools conclude from a file; files written in place of others; the threaded streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>  // steady_clock; <chrono> itself does not build with a CP932 execution charset

#include "image/binary_file.h"
#include "image/block_crc.h"
#include "image/file_replacement.h"
#include "image/image_check.h"
#include "image/image_file.h"
#include "image/lh5_decode_stream.h"
#include "image/lh5_encode_stream.h"
#include "image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

struct BlockSpec {
  int method;
  uint64_t firstSector;
  Bytes data;
};

// Writes the blocks in pieces of `piece` bytes; returns the file's bytes. Blocks at odd places are
// ended by the next BeginBlock, the last by CloseWriter: each must still read back whole.
Bytes WriteImage(const std::filesystem::path& path, const std::vector<BlockSpec>& blocks, size_t piece = 65536) {
  ImageFile image;
  EXPECT_EQ(image.CreateImage(path), 0);
  for (const BlockSpec& b : blocks) {
    BlockHeader* h = image.BeginBlock(b.method);
    EXPECT_NE(h, nullptr) << b.method;
    if (h == nullptr) continue;
    h->sectorSize = 2048;
    h->firstSector = b.firstSector;
    h->sectorCount = static_cast<uint32_t>((b.data.size() + 2047) / 2048);
    for (size_t at = 0; at < b.data.size(); at += piece) {
      const size_t n = std::min(piece, b.data.size() - at);
      EXPECT_EQ(image.WriteBlockData(n, b.data.data() + at), static_cast<int64_t>(n));
    }
    if (&b != &blocks.back() && (&b - blocks.data()) % 2 == 0) {
      EXPECT_EQ(image.EndBlock(), 0);
    }
  }
  EXPECT_EQ(image.CloseWriter(), 0);
  return ReadWholeFile(path);
}

struct ReadBack {  // everything a reader gives back over a whole file
  std::vector<BlockHeader> headers;
  std::vector<Bytes> data;
  std::vector<int> verdicts;
  ImageWalk walk;
};

ReadBack ReadImage(const std::filesystem::path& path, size_t piece = 65536) {
  ReadBack r;
  ImageFile image;
  EXPECT_EQ(image.OpenForRead(path), 0);
  Bytes buffer(piece);
  while (const BlockHeader* h = image.NextBlock()) {
    r.headers.push_back(*h);
    Bytes data;
    for (int64_t n; (n = image.ReadBlockData(buffer.size(), buffer.data())) > 0;) {
      data.insert(data.end(), buffer.begin(), buffer.begin() + n);
    }
    r.data.push_back(data);
    r.verdicts.push_back(image.EndReadBlock());
  }
  r.walk = image.Walk();
  EXPECT_EQ(image.CloseReader(), 0);
  return r;
}

// From a bit-at-a-time CRC-32/BZIP2 written apart (its check value is the catalogue's 0xFC891918);
// the lengths cross the 8-byte slices.
TEST(BlockCrc, IsCrc32Bzip2) {
  const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  Bytes pattern(1001);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 3);
  const struct {
    const char* name;
    Bytes data;      // given to Update
    uint64_t zeros;  // then as many zero bytes, given to UpdateZeros
    uint32_t crc;
  } cases[] = {
      {"check value", digits, 0, 0xFC891918u},
      {"pattern of 1001 bytes", pattern, 0, 0x985AFFCEu},
      {"1 zero", {}, 1, 0xB1F7404Bu},
      {"8 zeros", {}, 8, 0x96FB44A6u},
      {"9 zeros", {}, 9, 0x75289067u},
      {"4 MiB of zeros", {}, 4u << 20, 0x5602E288u},
      {"digits then 1000003 zeros", digits, 1000003, 0xEADB7B8Fu},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BlockCrc crc;
    crc.Update(c.data.data(), c.data.size());
    crc.UpdateZeros(c.zeros);
    EXPECT_EQ(crc.Value(), c.crc);
  }
}

// Both methods across block and piece boundaries, an empty block and incompressible data (which
// stays LH5). The name is not ASCII: files open by path, so any name works on Windows and Linux.
TEST(ImageFile, RoundTripsBlocksOfBothMethods) {
  const auto path = TempDir("image-roundtrip") / std::filesystem::path(u8"バックアップ 2026-12-06.ovi");
  const std::vector<BlockSpec> blocks = {
      {1, 0, TextCorpus(128 * 1024)},   {1, 1000, BinaryCorpus(8193)}, {0, 5000, RandomCorpus(4096)},
      {1, 7, Bytes(1, 0x42)},           {1, 9, {}},                    {1, 64, RandomCorpus(65536)},
      {1, 123456789012ull, Bytes(300 * 1024, 0)},
  };
  for (size_t piece : {size_t{65536}, size_t{2048}, size_t{7777}}) {
    SCOPED_TRACE(piece);
    const Bytes file = WriteImage(path, blocks, piece);
    const ReadBack r = ReadImage(path, piece);
    ASSERT_EQ(r.headers.size(), blocks.size());
    uint64_t offset = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(r.verdicts[i], 0);
      EXPECT_TRUE(r.data[i] == blocks[i].data);
      EXPECT_EQ(r.headers[i].methodName, NameOfMethod(static_cast<BlockMethod>(blocks[i].method)));
      EXPECT_EQ(r.headers[i].firstSector, blocks[i].firstSector);
      EXPECT_EQ(r.headers[i].crc, CrcOf(blocks[i].data));
      offset += 60 + r.headers[i].storedSize;
    }
    ASSERT_EQ(offset + 1, file.size());
    EXPECT_EQ(file.back(), 0);
  }
}

TEST(ImageFile, HeaderBytesAreLittleEndianAtFixedOffsets) {
  const Bytes data = {1, 2, 3, 4, 5};
  Bytes expected = Concat({Header(60, 5, 5, CrcOf(data), "-nocomp-"), data, {0}});
  PutLe32(&expected[28], 2048);
  PutLe64(&expected[32], 0x0102030405060708ull);
  PutLe32(&expected[40], 1);
  EXPECT_EQ(WriteImage(TempDir("image-header") / "one.ovi", {{0, 0x0102030405060708ull, data}}), expected);

  // An LH5 block's header: the same layout, its stored size the stream's length.
  const Bytes lh5 = WriteImage(TempDir("image-header") / "lh5.ovi", {{1, 0x0102030405060708ull, data}});
  const Bytes stream = Lh5Encode(data);
  Bytes lh5Expected = Concat({Header(60, stream.size(), 5, CrcOf(data), "-lh5----"), stream, {0}});
  std::memcpy(&lh5Expected[28], &expected[28], 16);
  EXPECT_EQ(lh5, lh5Expected);
}

// Both walks (ListBlocks, the reader) say where they stopped and why: complete only when a single
// 0x00, the last byte, follows the last block; every block taken reads whole unless cut.
TEST(ImageFile, WalkSaysWhereAndWhyItStopped) {
  const auto path = TempDir("image-walk") / "walk.ovi";
  for (const WalkCase& c : WalkCases()) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(path, c.file);
    ImageFile list;
    EXPECT_EQ(list.ListBlocks(path), static_cast<int>(c.blocks));
    const ReadBack r = ReadImage(path, 64);
    for (const ImageWalk& walk : {list.Walk(), r.walk}) {
      EXPECT_EQ(walk.end, c.end);
      EXPECT_EQ(walk.blocks, c.blocks);
      EXPECT_EQ(walk.offset, c.offset);
      EXPECT_EQ(walk.fileSize, c.file.size());
      EXPECT_EQ(walk.Complete(), c.end == WalkEnd::kComplete);
    }
    ASSERT_EQ(r.verdicts.size(), c.blocks);
    for (size_t i = 0; i < c.blocks; ++i) {
      const bool cut = c.end == WalkEnd::kDataCut && i + 1 == c.blocks;
      EXPECT_EQ(r.verdicts[i], cut ? -1 : 0) << "block " << i;
      EXPECT_TRUE(cut || r.data[i] == Bytes({9, 8, 7, 6})) << "block " << i;
    }
  }
  EXPECT_EQ(ImageFile().Walk().end, WalkEnd::kNotWalked);
}

// Hand-made and damaged files: one bad block fails alone (the walk reaches the next by its stored
// size), a cut keeps the blocks before it. Rows by hand hold {9, 8, 7, 6} in every block: longer
// headers (extra bytes skipped), methods named almost right, sizes that do not match what a block
// holds. An LH5 block's stored size must be its stream's length to the byte (the decoder reads
// up to 8 bytes ahead).
TEST(ImageFile, DamagedBlockFailsAndTheOthersAreStillReachable) {
  const auto path = TempDir("image-damage") / "d.ovi";
  const std::vector<BlockSpec> blocks = {
      {1, 0, TextCorpus(100000, 3)}, {1, 64, TextCorpus(50000, 4)}, {0, 128, TextCorpus(5000, 5)}};
  const Bytes file = WriteImage(path, blocks);
  const size_t second = 60 + static_cast<size_t>(GetLe64(&file[12]));
  const size_t third = second + 60 + static_cast<size_t>(GetLe64(&file[second + 12]));
  auto flip = [&](size_t offset, uint8_t mask) {
    Bytes damaged = file;
    damaged[offset] ^= mask;
    return damaged;
  };
  auto cut = [&](size_t keep) { return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep)); };
  const Bytes payload = {9, 8, 7, 6};
  const uint32_t crc = CrcOf(payload);
  const Bytes good = Concat({Header(60, 4, 4, crc, "-nocomp-"), payload});
  const Bytes lh5 = Lh5Encode(payload);
  auto storedSize = [&](int lie) {  // the header's stored size covers the stream and `lie` bytes after it
    Bytes body = lie < 0 ? Bytes(lh5.begin(), lh5.end() - 1) : Concat({lh5, Bytes(static_cast<size_t>(lie), 0x4F)});
    return Concat({Header(60, body.size(), 4, crc, "-lh5----"), body, good, {0}});
  };
  const struct {
    const char* name;
    Bytes file;
    std::vector<int> verdicts;
  } cases[] = {
      {"compressed byte of block 1", flip(second / 2, 0x01), {-1, 0, 0}},
      {"CRC field of block 1", flip(48, 0x80), {-1, 0, 0}},
      {"uncompressed size of block 1 too large", flip(20 + 2, 0x01), {-1, 0, 0}},
      {"uncompressed size of block 1 too small", flip(20 + 1, 0x40), {-1, 0, 0}},
      {"data byte of the stored block 3", flip(third + 60 + 10, 0xFF), {0, 0, -1}},
      {"no trailing byte", cut(file.size() - 1), {0, 0, 0}},
      {"cut in the stored block 3", cut(file.size() - 100), {0, 0, -1}},
      {"cut in the stream of block 2", cut(second + 160), {0, -1}},
      {"cut in the header of block 2", cut(second + 30), {0}},
      {"by hand: header length 64", Concat({Header(64, 4, 4, crc, "-nocomp-"), {1, 2, 3, 4}, payload, {0}}), {0}},
      {"by hand: method -lh5- then other bytes", Concat({good, Header(60, 4, 4, 0, "-lh5-xyz"), payload, {0}}), {0}},
      {"by hand: uncompressed size above what is stored",
       Concat({Header(60, 4, 5, crc, "-nocomp-"), payload, good, {0}}), {-1, 0}},
      {"by hand: stored size 1 short of the LH5 stream", storedSize(-1), {-1, 0}},
      {"by hand: stored size 8 past the LH5 stream", storedSize(8), {-1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(path, c.file);
    ImageFile image;
    EXPECT_EQ(image.ListBlocks(path), static_cast<int>(c.verdicts.size()));
    EXPECT_EQ(image.OpenForRead(path), 0) << "ListBlocks must leave the reader closed";
    const ReadBack r = ReadImage(path);
    EXPECT_EQ(r.verdicts, c.verdicts);
    const bool byHand = std::string(c.name).starts_with("by hand");
    for (size_t i = 0; i < std::min(r.verdicts.size(), blocks.size()); ++i) {
      EXPECT_TRUE(r.verdicts[i] != 0 || r.data[i] == (byHand ? payload : blocks[i].data)) << "block " << i;
    }
  }
}

constexpr uint64_t kMaxAddress = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

BlockHeader Placed(uint64_t firstSector, uint32_t sectorCount, uint32_t sectorSize, uint64_t uncompressed) {
  BlockHeader h;
  h.firstSector = firstSector;
  h.sectorCount = sectorCount;
  h.sectorSize = sectorSize;
  h.uncompressedSize = uncompressed;
  return h;
}

TEST(PlaceBlock, DataMustFitItsSectorsAndTheirAddresses) {
  const struct {
    const char* name;
    BlockHeader header;
    PlacementFault fault;
    uint64_t offset, end, sectors;
  } cases[] = {
      {"erase backup tail", Placed(2295040, 64, 2048, 131072), PlacementFault::kNone, 2295040ull * 2048,
       2295104ull * 2048, 64},
      {"a partial last sector", Placed(10, 3, 2048, 5000), PlacementFault::kNone, 20480, 25480, 3},
      {"an empty block", Placed(7, 0, 0, 0), PlacementFault::kNone, 0, 0, 0},
      {"one byte more than its sectors", Placed(0, 64, 2048, 131073), PlacementFault::kOverSectors, 0, 0, 0},
      {"data but sector size 0", Placed(0, 64, 0, 1), PlacementFault::kOverSectors, 0, 0, 0},
      {"4 GiB in sectors of 4096 bytes", Placed(0, 1u << 20, 4096, uint64_t{1} << 32), PlacementFault::kNone, 0,
       uint64_t{1} << 32, 1u << 20},
      {"the largest sector count and size", Placed(0, ~0u, ~0u, 1), PlacementFault::kUnaddressable, 0, 0, 0},
      {"sectors ending at the last address", Placed(kMaxAddress / 2048 - 64, 64, 2048, 131072),
       PlacementFault::kNone, (kMaxAddress / 2048 - 64) * 2048, kMaxAddress / 2048 * 2048, 64},
      {"sectors ending past the last address", Placed(kMaxAddress / 2048 - 63, 64, 2048, 131072),
       PlacementFault::kUnaddressable, 0, 0, 0},
      {"count FFFFFFFFh for 4 sectors of data", Placed(0, ~0u, 2048, 8192), PlacementFault::kCountMismatch, 0, 0, 0},
      {"count one more than the data fills", Placed(0, 4, 2048, 3 * 2048), PlacementFault::kCountMismatch, 0, 0, 0},
      {"sectors but no data", Placed(7, 1, 2048, 0), PlacementFault::kCountMismatch, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BlockPlacement p = PlaceBlock(c.header);
    EXPECT_EQ(p.fault, c.fault);
    EXPECT_EQ(AdmitPlacedBlock(c.header), c.fault == PlacementFault::kNone);
    if (c.fault == PlacementFault::kNone) {
      EXPECT_EQ(p.offset, c.offset);
      EXPECT_EQ(p.end, c.end);
      EXPECT_EQ(p.sectors, c.sectors);
    }
  }
}

// Three LH5 blocks of 4 sectors at sectors 0, 64 and 1000, as the erase writes them: good at
// both depths, followed by an observer that can stop the check (unconcluded). Then a data fault
// shows only when the data is read; a header that cannot be placed shows at both depths and is
// walked but never decoded (the admission refuses it), the blocks after it still are. (A folder
// or a missing file: ImageCommands.InputsMustBeRegularFiles.)
TEST(CheckImage, VerdictsAtTheDepthThatSeesThem) {
  const auto path = TempDir("check-image") / "c.ovi";
  const Bytes file = WriteImage(path, {{1, 0, TextCorpus(8192, 40)}, {1, 64, TextCorpus(8192, 41)},
                                       {1, 1000, TextCorpus(8192, 42)}});
  for (CheckDepth depth : {CheckDepth::kHeaders, CheckDepth::kData}) {
    ImageCheck check;
    ASSERT_EQ(CheckImage(path, depth, check), 0);
    EXPECT_TRUE(check.Good() && check.walk.Complete());
    ASSERT_EQ(check.blocks.size(), 3u);
    EXPECT_EQ(check.imageBytes, 3u * 4 * 2048);
    EXPECT_EQ(check.extent, 1004u * 2048);
    EXPECT_EQ(check.blocks[1].decoded, depth == CheckDepth::kData);
  }
  struct Observer : CheckObserver {
    bool Piece(size_t number, uint64_t, uint64_t) override { return number < stopAt; }
    void Checked(size_t number, const BlockCheck&) override { checked.push_back(number); }
    size_t stopAt = 99;
    std::vector<size_t> checked;
  };
  Observer all, stopping;
  ImageCheck check;
  ASSERT_EQ(CheckImage(path, CheckDepth::kData, check, &all), 0);
  EXPECT_EQ(all.checked, (std::vector<size_t>{1, 2, 3}));
  stopping.stopAt = 2;
  ASSERT_EQ(CheckImage(path, CheckDepth::kData, check, &stopping), 0);
  EXPECT_FALSE(check.Good());
  EXPECT_EQ(check.walk.end, WalkEnd::kNotWalked);
  EXPECT_EQ(stopping.checked, (std::vector<size_t>{1, 2}));

  Bytes damaged = file;
  damaged[60 + GetLe64(&file[12]) + 60 + 20] ^= 0x10;  // block 2's stream
  PutLe32(&damaged[40], 2);                            // block 1: 8192 bytes in 2 sectors
  WriteWholeFile(path, damaged);
  ImageCheck headers;
  ASSERT_EQ(CheckImage(path, CheckDepth::kHeaders, headers), 0);
  EXPECT_FALSE(headers.Good());
  EXPECT_EQ(headers.blocks[0].placement.fault, PlacementFault::kOverSectors);
  EXPECT_TRUE(headers.blocks[1].Good());
  EXPECT_EQ(headers.extent, 1004u * 2048);
  ImageCheck data;
  ASSERT_EQ(CheckImage(path, CheckDepth::kData, data), 0);
  EXPECT_FALSE(data.Good());
  EXPECT_TRUE(data.walk.Complete());
  ASSERT_EQ(data.blocks.size(), 3u);
  EXPECT_TRUE(data.blocks[0].faults.refused);
  EXPECT_FALSE(data.blocks[0].decoded);
  EXPECT_TRUE(data.blocks[1].faults.Any());
  EXPECT_FALSE(data.blocks[1].faults.refused);
  EXPECT_TRUE(data.blocks[2].Good());
}

// The replacement writes beside the target and renames onto it only at Commit; a discarded one
// leaves the target as it was and no temporary behind; two replacements get a temporary each.
// (A folder as the target: ImageCommands.OutputIsReplacedOnlyWhenComplete.)
TEST(FileReplacement, TargetChangesOnlyAtCommit) {
  const auto dir = TempDir("replace");
  const auto target = dir / "out.img";
  WriteWholeFile(target, {1, 2, 3});
  {
    FileReplacement output, other;
    ASSERT_EQ(output.Begin(target), 0);
    ASSERT_EQ(other.Begin(target), 0);
    EXPECT_EQ(output.Temporary().parent_path(), dir);
    EXPECT_NE(other.Temporary(), output.Temporary());
    WriteWholeFile(output.Temporary(), {9, 9});
  }  // both discarded
  EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
  FileReplacement output;
  ASSERT_EQ(output.Begin(target), 0);
  WriteWholeFile(output.Temporary(), {7});
  ASSERT_EQ(output.Commit(), 0);
  EXPECT_EQ(ReadWholeFile(target), (Bytes{7}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(output.Begin(dir / "no such folder" / "x.img"), -1);
  EXPECT_EQ(output.LastFault(), FileReplacement::Fault::kCannotCreate);
}

// The library reports a failed read as an exception; the file turns it into a short count (the
// decoder reads on a worker thread, where an exception would end the program).
TEST(BinaryFile, ReadErrorsAreCountsNotExceptions) {
  BinaryFile file;
  EXPECT_EQ(file.Open(TempDir("binary-folder"), BinaryFile::Mode::kRead), -1);
#ifdef __linux__
  // The start of the process's own memory is never mapped: reading it fails with EIO.
  ASSERT_EQ(file.Open("/proc/self/mem", BinaryFile::Mode::kRead), 0);
  uint8_t buffer[16];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(file.ReadByte(), -1);
  EXPECT_NE(file.LastError(), 0u);
  EXPECT_EQ(file.Open("/dev/null", BinaryFile::Mode::kRead), -1);
#endif
}

// The threaded streams beneath the container (also run under ThreadSanitizer): whole pieces out,
// prompt stops, failures as results (a corrupt stream: the damaged-file table above).
TEST(Lh5Streams, EncodeStreamWithAFailedWorkerComesBackShort) {
  Lh5EncodeStream failing;  // no output file: the first compressed byte fails
  ASSERT_EQ(failing.Start(), 0);
  const Bytes data = RandomCorpus(1024 * 1024);
  uint64_t accepted = 0;
  for (size_t at = 0; at < data.size(); at += 65536) accepted += failing.Write(65536, data.data() + at);
  EXPECT_LT(accepted, data.size());
  failing.Close();
  EXPECT_EQ(failing.RunResult(), 7);
}

// A decode stream closed early (over an image-like file: 10 other bytes, then the stream) stops
// at once with code 7. Whole pieces out and the file's position after the block: the image write
// and extract tests, which take every block through this stream.
TEST(Lh5Streams, ClosingADecodeStreamEarlyReturnsPromptly) {
  const Bytes stream = Lh5Encode(Bytes(4 * 1024 * 1024, 0));
  const auto path = TempDir("streams-decode") / "in.bin";
  WriteWholeFile(path, Concat({Bytes(10, 0xEE), stream}));
  BinaryFile file;
  ASSERT_EQ(file.Open(path, BinaryFile::Mode::kRead), 0);
  ASSERT_EQ(file.Seek(10, BinaryFile::kBegin), 10);
  Lh5DecodeStream decoder;  // declared after the file: stops before the file closes
  decoder.inputHandle = &file;
  decoder.uncompressedSize = 4 * 1024 * 1024;
  decoder.compressedSize = stream.size();
  ASSERT_EQ(decoder.Start(), 0);
  Bytes piece(4096);
  ASSERT_EQ(decoder.Read(piece.size(), piece.data()), piece.size());
  const auto start = std::chrono::steady_clock::now();
  decoder.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(decoder.RunResult(), 7);
}

}  // namespace
}  // namespace orv::test

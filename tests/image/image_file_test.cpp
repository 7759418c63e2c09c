#include <gtest/gtest.h>

#include <cstring>

#include "image/block_crc.h"
#include "image/image_file.h"
#include "image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

struct BlockSpec {
  int method;
  uint64_t firstSector;
  Bytes data;
};

// Writes the blocks in pieces of `piece` bytes; returns the file's bytes.
Bytes WriteImage(const std::filesystem::path& path, const std::vector<BlockSpec>& blocks, size_t piece = 65536) {
  ImageFile image;
  EXPECT_EQ(image.CreateImage(path), 0);
  for (const BlockSpec& b : blocks) {
    BlockHeader* h = image.BeginBlock(b.method);
    EXPECT_NE(h, nullptr);
    if (h == nullptr) continue;
    h->sectorSize = 2048;
    h->firstSector = b.firstSector;
    h->sectorCount = static_cast<uint32_t>(b.data.size() / 2048);
    for (size_t at = 0; at < b.data.size(); at += piece) {
      const size_t n = std::min(piece, b.data.size() - at);
      EXPECT_EQ(image.WriteBlockData(n, b.data.data() + at), static_cast<int64_t>(n));
    }
    EXPECT_EQ(image.EndBlock(), 0);
  }
  EXPECT_EQ(image.CloseWriter(), 0);
  return ReadWholeFile(path);
}

struct ReadBack {
  std::vector<BlockHeader> headers;
  std::vector<Bytes> data;
  std::vector<int> verdicts;
};

ReadBack ReadImage(const std::filesystem::path& path, size_t piece = 65536) {
  ReadBack r;
  ImageFile image;
  EXPECT_EQ(image.OpenForRead(path), 0);
  while (const BlockHeader* h = image.NextBlock()) {
    r.headers.push_back(*h);
    Bytes data;
    Bytes buffer(piece);
    int64_t n;
    while ((n = image.ReadBlockData(buffer.size(), buffer.data())) > 0) data.insert(data.end(), buffer.begin(), buffer.begin() + n);
    r.data.push_back(data);
    r.verdicts.push_back(image.EndReadBlock());
  }
  EXPECT_EQ(image.CloseReader(), 0);
  return r;
}

Bytes Header(const char* magic, uint16_t length, uint64_t stored, uint64_t uncompressed, uint32_t crc, const char* method) {
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

TEST(BlockCrc, IsCrc32Bzip2) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  BlockCrc crc;
  crc.Update(check, sizeof check);
  EXPECT_EQ(crc.Value(), 0xFC891918u);
  crc.Reset();
  EXPECT_EQ(crc.Value(), 0u);
}

TEST(ImageFile, RoundTripsBlocksOfBothMethods) {
  const auto dir = TempDir("image-roundtrip");
  const std::vector<BlockSpec> blocks = {
      {1, 0, TextCorpus(128 * 1024)},
      {1, 1000, BinaryCorpus(8193)},
      {0, 5000, RandomCorpus(4096)},
      {1, 7, Bytes(1, 0x42)},
      {1, 123456789012ull, ZeroCorpus(300 * 1024)},
  };
  for (size_t piece : {size_t{65536}, size_t{2048}, size_t{7777}}) {
    SCOPED_TRACE(piece);
    const auto path = dir / "image.ovi";
    const Bytes file = WriteImage(path, blocks, piece);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.back(), 0);
    const ReadBack r = ReadImage(path, piece);
    ASSERT_EQ(r.headers.size(), blocks.size());
    uint64_t offset = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(r.verdicts[i], 0);
      EXPECT_TRUE(r.data[i] == blocks[i].data);
      EXPECT_EQ(r.headers[i].firstSector, blocks[i].firstSector);
      EXPECT_EQ(r.headers[i].sectorSize, 2048u);
      EXPECT_EQ(r.headers[i].uncompressedSize, blocks[i].data.size());
      EXPECT_EQ(r.headers[i].crc, CrcOf(blocks[i].data));
      offset += 60 + r.headers[i].storedSize;
    }
    EXPECT_EQ(offset + 1, file.size());
  }
}

TEST(ImageFile, HeaderBytesAreLittleEndianAtFixedOffsets) {
  const auto path = TempDir("image-header") / "one.ovi";
  const Bytes data = {1, 2, 3, 4, 5};
  ImageFile image;
  ASSERT_EQ(image.CreateImage(path), 0);
  BlockHeader* h = image.BeginBlock(0);
  ASSERT_NE(h, nullptr);
  h->sectorSize = 0x800;
  h->firstSector = 0x0102030405060708ull;
  h->sectorCount = 0x11223344;
  ASSERT_EQ(image.WriteBlockData(data.size(), data.data()), 5);
  ASSERT_EQ(image.CloseWriter(), 0);  // ends the open block too
  Bytes expected = Header("ORVIMAGE", 60, 5, 5, CrcOf(data), "-nocomp-");
  PutLe32(&expected[28], 0x800);
  PutLe64(&expected[32], 0x0102030405060708ull);
  PutLe32(&expected[40], 0x11223344);
  expected.insert(expected.end(), data.begin(), data.end());
  expected.push_back(0);
  EXPECT_EQ(ReadWholeFile(path), expected);
}

TEST(ImageFile, IncompressibleDataStaysAnLh5Block) {
  const auto path = TempDir("image-random") / "r.ovi";
  const Bytes data = RandomCorpus(65536);
  WriteImage(path, {{1, 0, data}});
  ImageFile image;
  ASSERT_EQ(image.ListBlocks(path), 1);
  const ImageBlock& b = image.Blocks().front();
  EXPECT_EQ(b.method, BlockMethod::kLh5);
  EXPECT_GT(b.header.storedSize, b.header.uncompressedSize);
  EXPECT_EQ(ReadImage(path).verdicts, std::vector<int>{0});
}

TEST(ImageFile, EmptyBlockIsAWholeBlock) {
  const auto path = TempDir("image-empty-block") / "e.ovi";
  ImageFile image;
  ASSERT_EQ(image.CreateImage(path), 0);
  ASSERT_NE(image.BeginBlock(1), nullptr);
  ASSERT_EQ(image.EndBlock(), 0);
  ASSERT_EQ(image.CloseWriter(), 0);
  EXPECT_EQ(ReadWholeFile(path).size(), 60u + 7 + 1);
  const ReadBack r = ReadImage(path);
  ASSERT_EQ(r.verdicts, std::vector<int>{0});
  EXPECT_TRUE(r.data[0].empty());
}

TEST(ImageFile, ListBlocksStopsAtTheFirstHeaderItCannotAccept) {
  const auto dir = TempDir("image-list");
  const Bytes payload = {9, 9, 9, 9};
  const Bytes good = [&] {
    Bytes b = Header("ORVIMAGE", 60, 4, 4, CrcOf(payload), "-nocomp-");
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
  }();
  auto concat = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  struct Case {
    const char* name;
    Bytes file;
    int blocks;
  };
  const Case cases[] = {
      {"empty file", {}, 0},
      {"only the trailing byte", {0}, 0},
      {"one good block", concat({good, {0}}), 1},
      {"second header with a wrong magic", concat({good, Header("ORVIMAGX", 60, 4, 4, 0, "-nocomp-"), payload, good, {0}}), 1},
      {"method -lh5- followed by other bytes", concat({good, Header("ORVIMAGE", 60, 4, 4, 0, "-lh5-xyz"), payload, {0}}), 1},
      {"unknown method", concat({Header("ORVIMAGE", 60, 4, 4, 0, "-lh7----"), payload, {0}}), 0},
      {"header cut short", concat({good, Bytes(good.begin(), good.begin() + 40)}), 1},
      {"header length below 60", concat({Header("ORVIMAGE", 0, 0, 0, 0, "-nocomp-"), {0}}), 0},
      {"header length 59", concat({Header("ORVIMAGE", 59, 0, 0, 0, "-nocomp-"), {0}}), 0},
      {"stored size beyond any file", concat({Header("ORVIMAGE", 60, ~0ull, 4, 0, "-nocomp-"), payload, {0}}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / "list.ovi";
    WriteWholeFile(path, c.file);
    ImageFile image;
    EXPECT_EQ(image.ListBlocks(path), c.blocks);
    EXPECT_EQ(static_cast<int>(image.BlockCount()), c.blocks);
    EXPECT_EQ(image.OpenForRead(path), 0) << "ListBlocks must leave the reader closed";
  }
  ImageFile image;
  EXPECT_EQ(image.ListBlocks(dir / "no such file.ovi"), -1);
}

TEST(ImageFile, LongerHeaderIsSkipped) {
  const auto path = TempDir("image-header64") / "h.ovi";
  const Bytes payload = TextCorpus(1000);
  Bytes file = Header("ORVIMAGE", 64, payload.size(), payload.size(), CrcOf(payload), "-nocomp-");
  file.insert(file.end(), {0xAA, 0xBB, 0xCC, 0xDD});
  file.insert(file.end(), payload.begin(), payload.end());
  file.push_back(0);
  WriteWholeFile(path, file);
  const ReadBack r = ReadImage(path);
  ASSERT_EQ(r.data.size(), 1u);
  EXPECT_TRUE(r.data[0] == payload);
  EXPECT_EQ(r.verdicts[0], 0);
}

TEST(ImageFile, DamagedBlockFailsAndTheNextIsStillReachable) {
  const auto dir = TempDir("image-damage");
  const std::vector<BlockSpec> blocks = {{1, 0, TextCorpus(100000, 3)}, {1, 64, TextCorpus(50000, 4)}, {0, 128, TextCorpus(5000, 5)}};
  const auto path = dir / "d.ovi";
  Bytes file = WriteImage(path, blocks);
  struct Case {
    const char* name;
    size_t offset;  // byte to change
    uint8_t xorMask;
  };
  const size_t stored0 = static_cast<size_t>(GetLe64(&file[12]));
  const size_t second = 60 + stored0;
  const size_t third = second + 60 + static_cast<size_t>(GetLe64(&file[second + 12]));
  const Case cases[] = {
      {"compressed byte of block 1", 60 + stored0 / 2, 0x01},
      {"CRC field of block 1", 48, 0x80},
      {"uncompressed size of block 1 too large", 20 + 2, 0x01},
      {"uncompressed size of block 1 too small", 20 + 1, 0x40},
      {"data byte of the stored block 3", third + 60 + 10, 0xFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes damaged = file;
    damaged[c.offset] ^= c.xorMask;
    WriteWholeFile(path, damaged);
    const ReadBack r = ReadImage(path);
    ASSERT_EQ(r.verdicts.size(), 3u);
    const size_t bad = c.offset >= third ? 2 : 0;
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(r.verdicts[i], i == bad ? -1 : 0) << "block " << i;
      if (i != bad) {
        EXPECT_TRUE(r.data[i] == blocks[i].data) << "block " << i;
      }
    }
  }
}

TEST(ImageFile, TruncatedFileEndsTheWalk) {
  const auto dir = TempDir("image-truncated");
  const auto path = dir / "t.ovi";
  Bytes file = WriteImage(path, {{1, 0, TextCorpus(100000)}, {1, 64, TextCorpus(50000, 9)}});
  for (size_t keep : {file.size() - 1, file.size() - 100, size_t{60 + 10}, size_t{30}}) {
    SCOPED_TRACE(keep);
    WriteWholeFile(path, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep)));
    const ReadBack r = ReadImage(path);
    for (size_t i = 0; i + 1 < r.verdicts.size(); ++i) EXPECT_EQ(r.verdicts[i], 0);
    if (keep < file.size() - 1) {
      ASSERT_FALSE(r.verdicts.empty() && keep > 60);
      if (!r.verdicts.empty()) {
        EXPECT_EQ(r.verdicts.back(), -1);
      }
    }
  }
}

TEST(ImageFile, RefusesWhatItCannotDo) {
  const auto dir = TempDir("image-refuse");
  ImageFile image;
  EXPECT_EQ(image.BeginBlock(0), nullptr) << "no writer open";
  ASSERT_EQ(image.CreateImage(dir / "a.ovi"), 0);
  EXPECT_EQ(image.CreateImage(dir / "b.ovi"), -1);
  EXPECT_EQ(image.BeginBlock(2), nullptr);
  EXPECT_EQ(image.BeginBlock(-1), nullptr);
  EXPECT_EQ(image.BlockCount(), 0u);
  EXPECT_EQ(image.CloseWriter(), 0);
  ASSERT_EQ(image.OpenForRead(dir / "a.ovi"), 0);
  EXPECT_EQ(image.OpenForRead(dir / "a.ovi"), -1);
  EXPECT_EQ(image.ListBlocks(dir / "a.ovi"), -1);
  EXPECT_EQ(image.EndReadBlock(), -1);
  uint8_t byte;
  EXPECT_EQ(image.ReadBlockData(1, &byte), -1);
  EXPECT_EQ(image.CloseReader(), 0);
  EXPECT_EQ(image.OpenForRead(dir / "missing.ovi"), -1);
  EXPECT_EQ(image.CreateImage(dir / "no such dir" / "x.ovi"), -1);
}

TEST(ImageFile, AnyFileNameWorks) {
  const auto dir = TempDir("image-names");
  const std::filesystem::path name = std::filesystem::path(dir) / std::filesystem::path(u8"バックアップ 2026-12-06.ovi");
  const Bytes data = TextCorpus(10000);
  WriteImage(name, {{1, 0, data}});
  const ReadBack r = ReadImage(name);
  ASSERT_EQ(r.verdicts, std::vector<int>{0});
  EXPECT_TRUE(r.data[0] == data);
}

}  // namespace
}  // namespace orv::test

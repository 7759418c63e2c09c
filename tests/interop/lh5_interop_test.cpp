// Our LH5 streams against two independent implementations of the method: lhasa must read every
// stream our encoder writes byte for byte, and our decoder must read what jlha writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/block_encoding.h"
#include "image/crc16.h"
#include "image_test_support.h"
#include "lha_archive.h"

namespace orv::test {
namespace {

uint16_t Crc(const Bytes& data) { return Crc16Update(0, data.data(), data.size()); }

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Lh5Interop, LhasaReadsEveryStreamWeWrite) {
  const auto dir = TempDir("interop-lhasa");
  std::vector<std::pair<Corpus, Bytes>> streams;
  for (const Corpus& c : EdgeCorpora()) streams.push_back({c, Lh5Encode(c.data)});
  const Bytes text = TextCorpus(16 * 1024 * 1024, 7);
  streams.push_back({{"text16m", text}, Lh5Encode(text)});
  // The backup's blocks: zero runs in single-symbol Huffman blocks (16 MiB needs two of 65535
  // matches), the rest from the block coder.
  for (const size_t zeros : {size_t{1}, size_t{3}, size_t{259}, size_t{16 * 1024 * 1024 + 5}})
    streams.push_back({{"zeros" + std::to_string(zeros), Bytes(zeros, 0)}, Lh5ZeroRunStream(zeros)});
  const Bytes binary = BinaryCorpus(1024 * 1024, 6);
  streams.push_back({{"block1m", binary}, EncodeBlockInMemory(binary.data(), binary.size()).stored});
  for (const auto& [c, stream] : streams) {
    SCOPED_TRACE(c.name);
    const std::string archive = (dir / (c.name + ".lzh")).string();
    WriteWholeFile(archive, MakeLevel2Archive(c.name, "-lh5-", stream, c.data.size(), Crc(c.data)));
    EXPECT_EQ(RunCommand("lhasa t '" + archive + "' >/dev/null 2>&1"), 0);  // 1 on a CRC error
    ASSERT_EQ(RunCommand("lhasa pq '" + archive + "' > '" + archive + ".out' 2>/dev/null"), 0);
    EXPECT_TRUE(ReadWholeFile(archive + ".out") == c.data);
  }
  // The check means something only if lhasa does fail a damaged stream.
  Bytes stream = Lh5Encode(text);
  stream[stream.size() / 2] ^= 0x10;
  WriteWholeFile(dir / "damaged.lzh", MakeLevel2Archive("damaged", "-lh5-", stream, text.size(), Crc(text)));
  EXPECT_NE(RunCommand("lhasa t '" + (dir / "damaged.lzh").string() + "' >/dev/null 2>&1"), 0);
}

// jlha stores incompressible files as -lh0-: these corpora all compress.
TEST(Lh5Interop, WeDecodeWhatJlhaWrites) {
  const auto dir = TempDir("interop-jlha");
  const std::vector<Corpus> corpora = {
      {"text8193", TextCorpus(8193, 11)},     {"run1000", Bytes(1000, 0x55)},
      {"binary300k", BinaryCorpus(300 * 1024, 13)}, {"zeros200k", Bytes(200 * 1024, 0)},
      {"text2m", TextCorpus(2 * 1024 * 1024, 14)},
  };
  std::string names;
  for (const Corpus& c : corpora) {
    WriteWholeFile(dir / c.name, c.data);
    names += " " + c.name;
  }
  ASSERT_EQ(RunCommand("cd '" + dir.string() + "' && jlha ao5 peer.lzh" + names + " >/dev/null 2>&1"), 0);
  std::vector<LhaMember> members;
  ASSERT_TRUE(ReadLhaMembers(ReadWholeFile(dir / "peer.lzh"), &members));
  ASSERT_EQ(members.size(), corpora.size());
  for (size_t i = 0; i < corpora.size(); ++i) {
    SCOPED_TRACE(corpora[i].name);
    const LhaMember& m = members[i];
    ASSERT_EQ(m.method, "-lh5-");
    ASSERT_EQ(m.originalSize, corpora[i].data.size());
    int fail = -1;
    const Bytes back = Lh5Decode(m.packed, m.originalSize, &fail);
    EXPECT_EQ(fail, 0);
    EXPECT_TRUE(back == corpora[i].data);
  }
}

}  // namespace
}  // namespace orv::test

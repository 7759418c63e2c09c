// Our LH5 streams against two independent implementations of the method: every stream our
// encoder writes must be read by the C decoder of `lhasa` byte for byte, and our decoder must
// read what the `jlha` encoder writes.
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
  std::vector<Corpus> corpora = EdgeCorpora();
  corpora.push_back({"binary1m", BinaryCorpus(1024 * 1024, 6)});
  corpora.push_back({"text16m", TextCorpus(16 * 1024 * 1024, 7)});
  // The backup's blocks: zero runs in single-symbol Huffman blocks (the 16 MiB one needs two of
  // 65535 matches), the rest from the block coder.
  std::vector<std::pair<Corpus, Bytes>> streams;
  for (const Corpus& c : corpora) streams.push_back({c, Lh5Encode(c.data)});
  for (const size_t zeros : {size_t{1}, size_t{2}, size_t{3}, size_t{259}, size_t{16 * 1024 * 1024 + 5}})
    streams.push_back({{"zeros" + std::to_string(zeros), Bytes(zeros, 0)}, Lh5ZeroRunStream(zeros)});
  const Bytes text = TextCorpus(1024 * 1024, 8);
  streams.push_back({{"block1m", text}, EncodeBlockInMemory(text.data(), text.size()).stored});
  for (const auto& [c, stream] : streams) {
    SCOPED_TRACE(c.name);
    const std::string archive = (dir / (c.name + ".lzh")).string();
    const std::string out = (dir / (c.name + ".out")).string();
    WriteWholeFile(archive, MakeLevel2Archive(c.name, "-lh5-", stream, c.data.size(), Crc(c.data)));
    EXPECT_EQ(RunCommand("lhasa t '" + archive + "' >/dev/null 2>&1"), 0);  // 1 on a CRC error
    ASSERT_EQ(RunCommand("lhasa pq '" + archive + "' > '" + out + "' 2>/dev/null"), 0);
    EXPECT_TRUE(ReadWholeFile(out) == c.data);
  }
  // The check means something only if lhasa does fail a damaged stream.
  const Bytes data = TextCorpus(50000);
  Bytes stream = Lh5Encode(data);
  stream[stream.size() / 2] ^= 0x10;
  WriteWholeFile(dir / "damaged.lzh", MakeLevel2Archive("damaged", "-lh5-", stream, data.size(), Crc(data)));
  EXPECT_NE(RunCommand("lhasa t '" + (dir / "damaged.lzh").string() + "' >/dev/null 2>&1"), 0);
}

// jlha stores incompressible files as -lh0-: these corpora all compress.
TEST(Lh5Interop, WeDecodeWhatJlhaWrites) {
  const auto dir = TempDir("interop-jlha");
  const std::vector<Corpus> corpora = {
      {"text8193", TextCorpus(8193, 11)},          {"run1000", Bytes(1000, 0x55)},
      {"text300k", TextCorpus(300 * 1024, 12)},    {"binary300k", BinaryCorpus(300 * 1024, 13)},
      {"zeros200k", Bytes(200 * 1024, 0)},         {"text2m", TextCorpus(2 * 1024 * 1024, 14)},
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
    EXPECT_EQ(m.name, corpora[i].name);
    ASSERT_EQ(m.method, "-lh5-");
    ASSERT_EQ(m.originalSize, corpora[i].data.size());
    int fail = -1;
    const Bytes back = Lh5Decode(m.packed, m.originalSize, &fail);
    EXPECT_EQ(fail, 0);
    EXPECT_TRUE(back == corpora[i].data);
    EXPECT_EQ(Crc(back), m.crc16);
  }
}

}  // namespace
}  // namespace orv::test

// Our LH5 streams against two independent implementations of the method: every stream our
// encoder writes must be read by the C decoder of `lhasa` byte for byte, and our decoder must
// read what the `jlha` encoder writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/crc16.h"
#include "image_test_support.h"
#include "lha_archive.h"

namespace orv::test {
namespace {

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Corpus {
  std::string name;
  Bytes data;
};

std::vector<Corpus> Corpora() {
  Bytes farRepeat = RandomCorpus(8192, 9);
  Bytes copy = farRepeat;
  farRepeat.insert(farRepeat.end(), copy.begin(), copy.end());
  return {
      {"empty", {}},
      {"one", {'x'}},
      {"two", {'x', 'y'}},
      {"three", {'x', 'x', 'x'}},
      {"text8191", TextCorpus(8191)},
      {"text8192", TextCorpus(8192)},
      {"text8193", TextCorpus(8193)},
      {"run1000", Bytes(1000, 0x55)},
      {"window", farRepeat},
      {"text128k", TextCorpus(128 * 1024, 4)},
      {"binary128k", BinaryCorpus(128 * 1024)},
      {"zeros128k", ZeroCorpus(128 * 1024)},
      {"random128k", RandomCorpus(128 * 1024)},
      {"binary1m", BinaryCorpus(1024 * 1024, 6)},
      {"text16m", TextCorpus(16 * 1024 * 1024, 7)},
  };
}

TEST(Lh5Interop, LhasaReadsEveryStreamWeWrite) {
  const auto dir = TempDir("interop-lhasa");
  for (const Corpus& c : Corpora()) {
    SCOPED_TRACE(c.name);
    const Bytes stream = Lh5Encode(c.data);
    const uint16_t crc = Crc16Update(0, c.data.data(), c.data.size());
    const auto archive = dir / (c.name + ".lzh");
    WriteWholeFile(archive, MakeLevel2Archive(c.name, "-lh5-", stream, c.data.size(), crc));
    EXPECT_EQ(RunCommand("lhasa t '" + archive.string() + "' >/dev/null 2>&1"), 0);
    const auto out = dir / (c.name + ".out");
    ASSERT_EQ(RunCommand("lhasa pq '" + archive.string() + "' > '" + out.string() + "' 2>/dev/null"), 0);
    EXPECT_TRUE(ReadWholeFile(out) == c.data);
  }
}

TEST(Lh5Interop, LhasaCatchesADamagedStream) {
  // The check above means something only if lhasa does fail a bad stream.
  const auto dir = TempDir("interop-damaged");
  const Bytes data = TextCorpus(50000);
  Bytes stream = Lh5Encode(data);
  stream[stream.size() / 2] ^= 0x10;
  const auto archive = dir / "damaged.lzh";
  WriteWholeFile(archive, MakeLevel2Archive("damaged", "-lh5-", stream, data.size(),
                                            Crc16Update(0, data.data(), data.size())));
  EXPECT_NE(RunCommand("lhasa t '" + archive.string() + "' >/dev/null 2>&1"), 0);
}

TEST(Lh5Interop, WeDecodeWhatJlhaWrites) {
  const auto dir = TempDir("interop-jlha");
  const std::vector<Corpus> corpora = {
      {"text8193", TextCorpus(8193, 11)},
      {"run1000", Bytes(1000, 0x55)},
      {"text300k", TextCorpus(300 * 1024, 12)},
      {"binary300k", BinaryCorpus(300 * 1024, 13)},
      {"zeros200k", ZeroCorpus(200 * 1024)},
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
    EXPECT_EQ(m.name, corpora[i].name);
    ASSERT_EQ(m.method, "-lh5-");
    ASSERT_EQ(m.originalSize, corpora[i].data.size());
    int fail = -1;
    const Bytes back = Lh5Decode(m.packed, m.originalSize, &fail);
    EXPECT_EQ(fail, 0);
    EXPECT_TRUE(back == corpora[i].data);
    EXPECT_EQ(Crc16Update(0, back.data(), back.size()), m.crc16);
  }
}

}  // namespace
}  // namespace orv::test

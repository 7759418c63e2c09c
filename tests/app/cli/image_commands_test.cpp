// The console image tools run in-process: their output, exit codes and the files they leave, on
// good, damaged and hostile files (one-symbol LH5 "bombs" claiming gigabytes from a few bytes).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

#include "app/cli/cli_run.h"
#include "image/image_check.h"
#include "image/image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

using Outcome = CliOutcome;

// One LH5 Huffman block of 65535 copies of 256 bytes at distance 1, every code a single symbol
// that takes no bits: 52 bits give 16,776,960 bytes. `blocks` of them, flushed to a byte.
Bytes OneSymbolBomb(size_t blocks) {
  Bits bits;
  for (size_t i = 0; i < blocks; ++i) bits.Put(16, 65535).Put(10, 0).Put(9, 0).Put(9, 509).Put(8, 0);
  bits.Put(7, 0);
  return bits.bytes;
}

Bytes Lh5Header(uint64_t stored, uint64_t uncompressed, uint64_t firstSector, uint32_t sectorCount) {
  Bytes h = Header(60, stored, uncompressed, 0, "-lh5----");
  PutLe32(&h[28], 2048);
  PutLe64(&h[32], firstSector);
  PutLe32(&h[40], sectorCount);
  return h;
}

// Paths of the system's temporary folder: under Wine a Windows path, which the console's option
// parser never takes for a "/option".
class ImageCommands : public CliCase {
 protected:
  void SetUp() override {
    CliCase::SetUp();
    ovi_ = dir_ / "backup.ovi";
    raw_ = dir_ / "disc.img";
    out_ = dir_ / "out.img";
    // A 1 MiB disc of 512 sectors of 2048 bytes: text at the start, binaries at the end.
    disc_ = TextCorpus(512 * 2048, 31);
    const Bytes tail = BinaryCorpus(64 * 2048, 32);
    std::copy(tail.begin(), tail.end(), disc_.end() - static_cast<std::ptrdiff_t>(tail.size()));
    WriteWholeFile(raw_, disc_);
  }
  Outcome Create(const std::vector<std::string>& runs, const std::string& sectorSize = "2048") {
    std::vector<std::string> args = {"image", "create", ovi_.string(), "--from", raw_.string(), "--sector-size",
                                     sectorSize};
    for (const std::string& run : runs) args.insert(args.end(), {"--run", run});
    return Exec(args);
  }
  Outcome List() { return Exec({"image", "list", ovi_.string()}); }
  Outcome Verify() { return Exec({"image", "verify", ovi_.string()}); }
  Outcome Extract(const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"image", "extract", ovi_.string(), out_.string()};
    args.insert(args.end(), more.begin(), more.end());
    return Exec(args);
  }
  // No file left in the folder by a run that should have cleaned up after itself.
  bool NoTemporaries() {
    return std::none_of(fs::directory_iterator(dir_), fs::directory_iterator(),
                        [](const fs::directory_entry& e) { return Has(e.path().filename().string(), ".orvane-"); });
  }

  fs::path ovi_, raw_, out_;
  Bytes disc_;
};

TEST_F(ImageCommands, CreateListVerifyExtractRoundTrip) {
  ASSERT_EQ(Create({"0:64", "448:64"}).code, 0);
  const Outcome list = List();
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("    1             0       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("    2           448       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_TRUE(Has(list.out, "\n2 blocks\n")) << list.out;

  const Outcome verify = Verify();
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_TRUE(Has(verify.out, "2 blocks, 0 bad")) << verify.out;

  const Outcome extract = Extract();
  EXPECT_EQ(extract.code, 0) << extract.out << extract.err;
  EXPECT_EQ(extract.out, "block 1: sector 0, 131072 bytes\nblock 2: sector 448, 131072 bytes\n2 blocks, 0 failed\n");
  Bytes expected(512 * 2048, 0);  // sparse: only the runs are written
  std::copy(disc_.begin(), disc_.begin() + 64 * 2048, expected.begin());
  std::copy(disc_.end() - 64 * 2048, disc_.end(), expected.end() - 64 * 2048);
  EXPECT_TRUE(ReadWholeFile(out_) == expected);
  EXPECT_TRUE(NoTemporaries());
}

struct DamagedCase {
  std::string name;
  Bytes file;
  bool headersGood;
  int list, verify, extract;
  std::string says = "";  // a line of verify's (or, when verify is not run, list's) output
};

// Damaged files made from `good`, two blocks whose second header starts at `second`, closing byte at `end`.
std::vector<DamagedCase> DamagedCases(const Bytes& good, size_t second, size_t end) {
  std::vector<DamagedCase> cases;
  auto cut = [&](size_t keep) { return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep)); };
  auto lie = [&](size_t header, size_t offset, std::function<void(uint8_t*)> change) {
    Bytes file = good;
    change(&file[header + offset]);
    return file;
  };
  auto le16 = [](uint16_t v) { return [v](uint8_t* p) { PutLe16(p, v); }; };
  auto le32 = [](uint32_t v) { return [v](uint8_t* p) { PutLe32(p, v); }; };
  auto le64 = [](uint64_t v) { return [v](uint8_t* p) { PutLe64(p, v); }; };
  auto add64 = [](int64_t d) { return [d](uint8_t* p) { PutLe64(p, GetLe64(p) + static_cast<uint64_t>(d)); }; };

  cases.push_back({"the good file", good, true, 0, 0, 0, "2 blocks, 0 bad"});
  // Cut at every offset of both headers, inside both streams, and before the closing byte.
  for (size_t header : {size_t{0}, second}) {
    for (size_t k = 0; k <= 60; ++k) {
      cases.push_back({"cut at header offset " + std::to_string(header) + "+" + std::to_string(k), cut(header + k),
                       false, 1, 1, 1});
    }
  }
  cases.push_back({"cut in the stream of block 1", cut(second / 2), false, 1, 1, 1, "ends inside the data of block 1"});
  cases.push_back({"cut in the stream of block 2", cut(end - 3), false, 1, 1, 1, "ends inside the data of block 2"});
  cases.push_back({"no closing byte", cut(end), false, 1, 1, 1, "ends after block 2 without the closing 0x00 byte"});
  cases[1 + 61 + 1].says = "ends after block 1 with the byte 0x4F where the closing 0x00 belongs";  // "O"
  cases.push_back({"bytes after the closing byte", Concat({good, {'J', 'U', 'N', 'K'}}), false, 1, 1, 1,
                   "4 bytes follow the closing byte"});
  cases.push_back({"two closing bytes", Concat({good, {0}}), false, 1, 1, 1, "1 byte follows the closing byte"});
  // Header lies in either block, each with the console's line or its own exit codes (the image
  // tests hold the walk's and the placement's verdict on every field).
  for (size_t header : {size_t{0}, second}) {
    const std::string b = header == 0 ? "block 1: " : "block 2: ";
    cases.push_back({b + "reserved field at 10", lie(header, 10, le16(0xFFFF)), true, 0, 0, 0});
    cases.push_back({b + "uncompressed size +1", lie(header, 20, add64(1)), false, 1, 1, 1,
                     "do not fit in its 4 sectors of 2048 bytes"});
    cases.push_back({b + "first sector 2^30 (2 TiB)", lie(header, 32, le64(uint64_t{1} << 30)), true, 0, 0, 1});
    cases.push_back({b + "first sector 2^62", lie(header, 32, le64(uint64_t{1} << 62)), false, 1, 1, 1,
                     "lie beyond any disc or file"});
    cases.push_back({b + "sector count 5", lie(header, 40, le32(5)), false, 1, 1, 1,
                     "its header gives 5 sectors of 2048 bytes but its 8192 bytes fill 4 sectors"});
    cases.push_back({b + "sector count FFFFFFFFh", lie(header, 40, le32(0xFFFFFFFF)), false, 1, 1, 1,
                     "its header gives 4294967295 sectors of 2048 bytes but its 8192 bytes fill 4 sectors"});
    cases.push_back({b + "CRC", lie(header, 48, [](uint8_t* p) { *p ^= 1; }), true, 0, 1, 1, "BAD: CRC"});
    cases.push_back({b + "method -lh5-xyz", lie(header, 57, [](uint8_t* p) { std::copy_n("xyz", 3, p); }), false, 1,
                     1, 1, "names an unknown method"});
  }
  // Not an image at all, an image of no block, and blocks that claim more than they hold.
  const std::string text = "This is a text file, not an image file.\nIt has no block header anywhere.\n";
  cases.push_back({"an empty file", {}, false, 1, 1, 1, "ends before any block without the closing 0x00 byte"});
  cases.push_back({"a text file", Bytes(text.begin(), text.end()), false, 1, 1, 1,
                   "no block header at offset 0 before any block"});
  cases.push_back({"an image of no block", {0}, true, 0, 0, 1, "0 blocks, 0 bad"});
  const Bytes bomb = OneSymbolBomb(256);  // 4 GiB and a little, from 1,664 bytes
  cases.push_back({"one-symbol bomb claiming 4 GiB in 64 sectors",
                   Concat({Lh5Header(bomb.size(), uint64_t{1} << 32, 0, 64), bomb, {0}}), false, 1, 1, 1,
                   "not decoded: its 4294967296 bytes do not fit in its 64 sectors of 2048 bytes"});
  const Bytes bigBomb = OneSymbolBomb(65536);  // 2^40 and a little, from 426 KB
  cases.push_back({"one-symbol bomb claiming 2^40 in as many sectors",
                   Concat({Lh5Header(bigBomb.size(), uint64_t{1} << 40, 0, 1u << 29), bigBomb, {0}}), true, 0, -1, 1,
                   "    1             0  536870912         2048  -lh5----"});
  return cases;
}

// The headers' verdict (the image write's pre-check) and the exit codes of list, verify and extract
// (-1: not run, verify would decode the gigabytes that are there).
TEST_F(ImageCommands, DamagedAndHostileFilesAreNeverTakenForGood) {
  ASSERT_EQ(Create({"0:4", "100:4"}).code, 0);
  const Bytes good = ReadWholeFile(ovi_);
  const size_t second = 60 + static_cast<size_t>(GetLe64(&good[12]));
  const size_t end = second + 60 + static_cast<size_t>(GetLe64(&good[second + 12]));
  ASSERT_EQ(end + 1, good.size());

  for (const DamagedCase& c : DamagedCases(good, second, end)) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(ovi_, c.file);
    fs::remove(out_);
    ImageCheck check;
    ASSERT_EQ(CheckImage(ovi_, CheckDepth::kHeaders, check), 0);
    EXPECT_EQ(check.Good(), c.headersGood);
    const Outcome list = List();
    EXPECT_EQ(list.code, c.list) << list.out << list.err;
    if (c.verify >= 0) {
      const Outcome verify = Verify();
      EXPECT_EQ(verify.code, c.verify) << verify.out << verify.err;
      if (!c.says.empty()) {
        EXPECT_TRUE(Has(verify.out, c.says)) << verify.out;
      }
    } else if (!c.says.empty()) {
      EXPECT_TRUE(Has(list.out, c.says)) << list.out;
    }
    const Outcome extract = Extract();
    EXPECT_EQ(extract.code, c.extract) << extract.out << extract.err;
    EXPECT_TRUE(NoTemporaries());
    EXPECT_EQ(ReadWholeFile(ovi_), c.file) << "the input is never written";
  }
}

// `extract S S`, through a link, and `create IN --from IN`: refused before anything is opened
// for writing; the input keeps every byte.
TEST_F(ImageCommands, NeverWritesOntoItsInput) {
  ASSERT_EQ(Create({"0:4"}).code, 0);
  const Bytes image = ReadWholeFile(ovi_);
  std::vector<std::pair<std::string, fs::path>> names = {{"the same name", ovi_},
                                                          {"another spelling", dir_ / "." / "backup.ovi"}};
  std::error_code ec;
  fs::create_hard_link(ovi_, dir_ / "hard.ovi", ec);
  if (!ec) names.push_back({"a hard link", dir_ / "hard.ovi"});
  fs::create_symlink(ovi_, dir_ / "soft.ovi", ec);
  if (!ec) names.push_back({"a symbolic link", dir_ / "soft.ovi"});
  for (const auto& [name, path] : names) {
    SCOPED_TRACE(name);
    const Outcome extract = Exec({"image", "extract", ovi_.string(), path.string()});
    EXPECT_EQ(extract.code, 1);
    EXPECT_TRUE(Has(extract.err, "itself; the output needs a file of its own")) << extract.err;
    EXPECT_EQ(ReadWholeFile(ovi_), image);

    const Outcome create =
        Exec({"image", "create", path.string(), "--from", ovi_.string(), "--sector-size", "1", "--run", "0:8"});
    EXPECT_EQ(create.code, 1);
    EXPECT_TRUE(Has(create.err, "itself")) << create.err;
    EXPECT_EQ(ReadWholeFile(ovi_), image);
  }
  EXPECT_TRUE(NoTemporaries());
}

// A folder, a pipe or a device as an input gets a message that says so, and no output appears.
TEST_F(ImageCommands, InputsMustBeRegularFiles) {
  struct Case {
    std::string name;
    fs::path path;
    std::string says;
  };
  std::vector<Case> cases = {{"a folder", dir_, "is a folder, not "}, {"nothing", dir_ / "none", "no such file"}};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  cases.push_back({"a FIFO", dir_ / "fifo", "is a pipe, not "});
  cases.push_back({"a device", "/dev/null", "is a device, not "});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"image", "list", c.path.string()}, {"image", "verify", c.path.string()},
             {"image", "extract", c.path.string(), out_.string()},
             {"image", "create", ovi_.string(), "--from", c.path.string(), "--run", "0:1"}}) {
      const Outcome run = Exec(args);
      EXPECT_EQ(run.code, 1) << args[1];
      EXPECT_TRUE(Has(run.err, c.says)) << args[1] << ": " << run.err;
    }
    EXPECT_FALSE(fs::exists(out_));
    EXPECT_FALSE(fs::exists(ovi_));
    EXPECT_TRUE(NoTemporaries());
  }
}

// An existing output keeps its bytes until the new one is complete; a refused or failed run
// leaves it as it was. A folder is no output.
TEST_F(ImageCommands, OutputIsReplacedOnlyWhenComplete) {
  ASSERT_EQ(Create({"0:4", "100:4"}).code, 0);
  const Bytes old = {'o', 'l', 'd'};
  WriteWholeFile(out_, old);
  Outcome run = Extract({"--max-size", "100000"});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run.err, "the raw image would be 212992 bytes (block 2 ends there), more than the limit of "
                           "100000 bytes; --max-size BYTES allows more; nothing is written"))
      << run.err;
  EXPECT_EQ(ReadWholeFile(out_), old);
  run = Extract({"--max-size", "212992"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadWholeFile(out_).size(), 212992u);

  run = Exec({"image", "extract", ovi_.string(), dir_.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run.err, "is a folder; the output needs a file name")) << run.err;
  for (const char* size : {"0", "-1", "lots"}) {
    EXPECT_EQ(Extract({"--max-size", size}).code, 2) << size;  // a usage error
  }

  // A file whose first block lies about its sectors: the good block is still extracted.
  Bytes file = ReadWholeFile(ovi_);
  PutLe32(&file[40], 3);
  WriteWholeFile(ovi_, file);
  run = Extract();
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out,
            "block 1: sector 0: NOT WRITTEN: its 8192 bytes do not fit in its 3 sectors of 2048 bytes\n"
            "block 2: sector 100, 8192 bytes\n2 blocks, 1 failed\n");
  EXPECT_EQ(ReadWholeFile(out_).size(), 104u * 2048);
  EXPECT_TRUE(NoTemporaries());
}

#ifndef _WIN32
// A write that fails names the system's reason, and the output is not left half-written.
TEST_F(ImageCommands, WriteFailureSaysWhyAndLeavesNoOutput) {
  ASSERT_EQ(Create({"0:4", "100:4"}).code, 0);
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100000;  // block 2 ends at 212992
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Outcome run = Extract();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run.out, "block 2: sector 100: WRITE FAILED: File too large")) << run.out;
  EXPECT_TRUE(Has(run.err, "cannot write " + out_.string() + ": File too large; it is left as it was")) << run.err;
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_TRUE(NoTemporaries());
}
#endif

// Runs past the source's end are failures (1); a run of the wrong form (a number too long to be a
// sector among them) or none at all is a usage error (2).
TEST_F(ImageCommands, CreateTakesRunsWithinTheSource) {
  const struct {
    std::vector<std::string> runs;
    std::string sectorSize;
    int code;
  } cases[] = {
      {{"0:1", "500:13"}, "2048", 1},
      {{"0:1", "18446744073709551615:2"}, "2048", 2},
      {{"16"}, "2048", 2},
      {{}, "2048", 2},
      {{"0:1"}, "0", 2},
      {{"0:2048"}, "512", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.runs) + " of " + c.sectorSize);
    fs::remove(ovi_);
    EXPECT_EQ(Create(c.runs, c.sectorSize).code, c.code);
    EXPECT_EQ(fs::exists(ovi_), c.code == 0);
  }
  EXPECT_TRUE(NoTemporaries());
}

}  // namespace
}  // namespace orv::test

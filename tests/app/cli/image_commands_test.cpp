// The console image tools in-process: output, exit codes and the files they leave, on good and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

#include "app/cli/cli_run.h"
#include "image/image_test_support.h"
#include "toolkit/endian.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

// Paths under the case's folder (under Wine Windows paths, which the parser never takes for "/option").
class ImageCommands : public CliCase {
 protected:
  void SetUp() override {
    CliCase::SetUp();
    ovi_ = dir_ / "backup.ovi";
    out_ = dir_ / "out.img";
    // A 1 MiB disc of 512 sectors of 2048 bytes: text at the start, binaries at the end.
    disc_ = TextCorpus(512 * 2048, 31);
    const Bytes tail = BinaryCorpus(64 * 2048, 32);
    std::copy(tail.begin(), tail.end(), disc_.end() - static_cast<std::ptrdiff_t>(tail.size()));
    WriteWholeFile(Disc(), disc_);
  }
  CliOutcome Create(const std::vector<std::string>& runs, const std::string& sectorSize = "2048") {
    std::vector<std::string> args = {"image", "create", ovi_.string(), "--from", Disc().string(), "--sector-size",
                                     sectorSize};
    for (const std::string& run : runs) args.insert(args.end(), {"--run", run});
    return Exec(args);
  }
  CliOutcome Extract(const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"image", "extract", ovi_.string(), out_.string()};
    args.insert(args.end(), more.begin(), more.end());
    return Exec(args);
  }
  // No file left in the folder by a run that should have cleaned up after itself.
  bool NoTemporaries() {
    return std::none_of(fs::directory_iterator(dir_), fs::directory_iterator(),
                        [](const fs::directory_entry& e) { return Has(e.path().filename().string(), ".orvane-"); });
  }

  fs::path ovi_, out_;
  Bytes disc_;
};

TEST_F(ImageCommands, CreateListVerifyExtractRoundTrip) {
  ASSERT_EQ(Create({"0:64", "448:64"}).code, 0);
  const CliOutcome list = Exec({"image", "list", ovi_.string()});
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("    1             0       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("    2           448       64         2048  -lh5----"), std::string::npos) << list.out;
  EXPECT_TRUE(Has(list.out, "\n2 blocks\n")) << list.out;

  const CliOutcome verify = Exec({"image", "verify", ovi_.string()});
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_TRUE(Has(verify.out, "2 blocks, 0 bad")) << verify.out;

  const CliOutcome extract = Extract();
  EXPECT_EQ(extract.code, 0) << extract.out << extract.err;
  EXPECT_EQ(extract.out, "block 1: sector 0, 131072 bytes\nblock 2: sector 448, 131072 bytes\n2 blocks, 0 failed\n");
  Bytes expected(512 * 2048, 0);  // sparse: only the runs are written
  std::copy(disc_.begin(), disc_.begin() + 64 * 2048, expected.begin());
  std::copy(disc_.end() - 64 * 2048, disc_.end(), expected.end() - 64 * 2048);
  EXPECT_TRUE(ReadWholeFile(out_) == expected);
  EXPECT_TRUE(NoTemporaries());
}

// Damaged files as the console shows them (the image tests hold the walk's and the placement's
// verdict on every header field and stream): exit codes of list, verify and extract, verify's line.
TEST_F(ImageCommands, DamagedFilesAreNeverTakenForGood) {
  ASSERT_EQ(Create({"0:4", "100:4"}).code, 0);
  const Bytes good = ReadWholeFile(ovi_);
  const size_t second = 60 + static_cast<size_t>(GetLe64(&good[12])), end = good.size() - 1;
  auto cut = [&](size_t keep) { return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep)); };
  auto lie = [&](size_t offset, const std::function<void(uint8_t*)>& change) {
    Bytes file = good;
    change(&file[offset]);
    return file;
  };
  const std::string text = "This is a text file, not an image file.\nIt has no block header anywhere.\n";
  const struct {
    std::string name;
    Bytes file;
    int list, verify, extract;
    std::string says;  // a line of verify's output
  } cases[] = {
      {"the good file", good, 0, 0, 0, "2 blocks, 0 bad"},
      {"cut in the header of block 2", cut(second + 30), 1, 1, 1, ""},
      {"cut in the stream of block 2", cut(end - 3), 1, 1, 1, "ends inside the data of block 2"},
      {"no closing byte", cut(end), 1, 1, 1, "ends after block 2 without the closing 0x00 byte"},
      {"bytes after the closing byte", Concat({good, {'J', 'U', 'N', 'K'}}), 1, 1, 1,
       "4 bytes follow the closing byte"},
      {"block 2: CRC", lie(second + 48, [](uint8_t* p) { *p ^= 1; }), 0, 1, 1, "BAD: CRC"},
      {"block 2: first sector 2^30 (2 TiB)", lie(second + 32, [](uint8_t* p) { PutLe64(p, uint64_t{1} << 30); }), 0,
       0, 1, ""},
      {"block 2: first sector 2^62", lie(second + 32, [](uint8_t* p) { PutLe64(p, uint64_t{1} << 62); }), 1, 1, 1,
       "lie beyond any disc or file"},
      {"block 1: sector count 5", lie(40, [](uint8_t* p) { PutLe32(p, 5); }), 1, 1, 1,
       "its header gives 5 sectors of 2048 bytes but its 8192 bytes fill 4 sectors"},
      {"an empty file", {}, 1, 1, 1, "ends before any block without the closing 0x00 byte"},
      {"a text file", Bytes(text.begin(), text.end()), 1, 1, 1, "no block header at offset 0 before any block"},
      {"an image of no block", {0}, 0, 0, 1, "0 blocks, 0 bad"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(ovi_, c.file);
    fs::remove(out_);
    const CliOutcome list = Exec({"image", "list", ovi_.string()});
    EXPECT_EQ(list.code, c.list) << list.out << list.err;
    const CliOutcome verify = Exec({"image", "verify", ovi_.string()});
    EXPECT_EQ(verify.code, c.verify) << verify.out << verify.err;
    EXPECT_TRUE(Has(verify.out, c.says)) << verify.out;
    const CliOutcome extract = Extract();
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
  std::vector<std::pair<std::string, fs::path>> names = {{"the same name", ovi_}};
  std::error_code ec;
  fs::create_symlink(ovi_, dir_ / "soft.ovi", ec);
  if (!ec) names.push_back({"a symbolic link", dir_ / "soft.ovi"});
  for (const auto& [name, path] : names) {
    SCOPED_TRACE(name);
    const CliOutcome extract = Exec({"image", "extract", ovi_.string(), path.string()});
    EXPECT_EQ(extract.code, 1);
    EXPECT_TRUE(Has(extract.err, "itself; the output needs a file of its own")) << extract.err;
    EXPECT_EQ(ReadWholeFile(ovi_), image);

    const CliOutcome create =
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
      const CliOutcome run = Exec(args);
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
  CliOutcome run = Extract({"--max-size", "100000"});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run.err, "the raw image would be 212992 bytes (block 2 ends there), more than the limit of "
                           "100000 bytes; --max-size BYTES allows more; nothing is written"))
      << run.err;
  EXPECT_EQ(ReadWholeFile(out_), old);
  run = Extract({"--max-size", "212992"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadWholeFile(out_).size(), 212992u);


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
  const CliOutcome run = Extract();
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
      {{}, "2048", 2},
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

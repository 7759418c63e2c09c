// The emulator as a SCSI target: sense byte for sense byte, allocation lengths, capacities past
// 32 bits (what the report uses, every preset's `info` golden file shows whole); its timing; its
// image media and the ORVANE_VIRTUAL_DRIVES and ORVANE_VIRTUAL_TIMING values. The trace line codec
// and the drive that answers from a trace, asked directly (the console's Trace tests record and
// replay whole runs of every preset).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>  // steady_clock; <chrono> itself does not build with a CP932 execution charset
#include <unistd.h>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "scsi/opcodes.h"
#include "vdrive/drive_config.h"
#include "vdrive/medium.h"
#include "vdrive/replay_drive.h"
#include "vdrive/timing.h"
#include "vdrive/trace_format.h"
#include "vdrive/virtual_drive.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::unique_ptr<VirtualDrive> Drive(const char* preset) { return MakeVirtualDrive(*FindDrivePreset(preset)); }

struct Sent {
  CommandOutcome outcome;
  std::vector<uint8_t> data;
  // "good N" (N bytes moved) or "check K/AAh" (sense key, ASC; "K/AA/QQh" with an ASCQ) after
  // checking the sense's fixed format: response code 70h, additional length 10, nothing moved.
  std::string Text() const {
    char text[32];
    if (outcome.status == kScsiStatusGood) {
      std::snprintf(text, sizeof text, "good %u", outcome.transferred);
    } else {
      const auto& s = outcome.sense;
      const bool fixed = outcome.senseLength == 18 && s[0] == 0x70 && s[7] == 10 && outcome.transferred == 0;
      std::snprintf(text, sizeof text, s[13] ? "%s %X/%02X/%02Xh" : "%s %X/%02Xh", fixed ? "check" : "malformed", s[2],
                    s[12], s[13]);
    }
    return text;
  }
  Bytes Moved() const { return Bytes(data.begin(), data.begin() + std::min<size_t>(outcome.transferred, data.size())); }
};

Sent Send(VirtualDrive& drive, std::vector<uint8_t> cdb, DataDirection direction = DataDirection::kIn,
          uint32_t length = 0, std::vector<uint8_t> out = {}) {
  Sent s;
  s.data = direction == DataDirection::kOut ? out : std::vector<uint8_t>(length, 0xEE);
  s.outcome = drive.Execute(cdb, direction, s.data.empty() ? nullptr : s.data.data(),
                            static_cast<uint32_t>(s.data.size()));
  return s;
}

std::vector<uint8_t> Cdb10(uint8_t op, uint32_t lba, uint16_t blocks, uint8_t byte1 = 0) {
  return {op, byte1, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, uint8_t(blocks >> 8),
          uint8_t(blocks), 0};
}

// Braced lists run their commands in order.
using Answers = std::vector<std::string>;
const std::vector<uint8_t> kTur = {0, 0, 0, 0, 0, 0};
std::string Tur(VirtualDrive& drive) { return Send(drive, kTur).Text(); }

TEST(VirtualDrive, SenseAnswers) {
  using enum DataDirection;
  const struct {
    const char* preset;
    std::vector<uint8_t> cdb;
    DataDirection direction;
    uint32_t length;
    const char* answer;
  } cases[] = {
      {"dvdram", {0xFF, 0, 0, 0, 0, 0}, kNone, 0, "check 5/20h"},  // unsupported opcode
      {"dvdram", Cdb10(0x28, 2295103, 2), kIn, 4096, "check 5/21h"},  // straddling the end
      {"hdd", Cdb10(0x2A, 16777216, 1), kOut, 512, "check 5/21h"},
      {"dvdram", Cdb10(0x2F, 2295100, 5), kNone, 0, "check 5/21h"},
      {"nodisc", kTur, kNone, 0, "check 2/3Ah"},
      {"nodisc", Cdb10(0x28, 0, 1), kIn, 2048, "check 2/3Ah"},
      {"dvdrom", Cdb10(0x2A, 0, 1), kOut, 2048, "check 7/27h"},      // read-only disc
      {"dvdram", {0x12, 0x01, 0x83, 0, 36, 0}, kIn, 36, "check 5/24h"},  // unknown VPD page
      {"dvdram", {0x12, 0x00, 0x80, 0, 36, 0}, kIn, 36, "check 5/24h"},  // page without EVPD
      {"dvdram", {0x28, 0, 0}, kIn, 2048, "check 5/24h"},                // short CDB
      {"dvdram", {0x5A, 0x08, 0xFF, 0, 0, 0, 0, 0x10, 0, 0}, kIn, 4096, "check 5/39h"},  // saved mode values
      {"dvdram", {0x5A, 0x08, 0x05, 0, 0, 0, 0, 0x10, 0, 0}, kIn, 4096, "check 5/24h"},  // a mode page it lacks
      {"dvdram", {0x46, 3, 0, 0, 0, 0, 0, 0x10, 0, 0}, kIn, 4096, "check 5/24h"},        // configuration type 3
      {"dvdrom", {0xAD, 0, 0, 0, 0, 0, 0, 0x02, 0x10, 0, 0, 0}, kIn, 4096, "check 5/6F/02h"},  // key not established
      {"dvdrom", {0xAD, 0, 0, 0, 0, 0, 1, 0x02, 0x10, 0, 0, 0}, kIn, 4096, "check 5/24h"},  // no layer 1
  };
  for (const auto& c : cases) {
    auto drive = Drive(c.preset);
    const bool out = c.direction == kOut;
    EXPECT_EQ(Send(*drive, c.cdb, c.direction, out ? 0 : c.length, std::vector<uint8_t>(out ? c.length : 0, 1)).Text(),
              c.answer)
        << c.preset << " opcode " << int(c.cdb[0]);
  }
}

TEST(VirtualDrive, AllocationLengthBoundsTheAnswer) {
  auto drive = Drive("dvdram");
  const Sent s = Send(*drive, {0x12, 0, 0, 0, 5, 0}, DataDirection::kIn, 40);
  EXPECT_EQ(s.Text(), "good 5");
  EXPECT_EQ(s.data[5], 0xEE);
  const Sent serial = Send(*drive, {0x12, 1, 0x80, 0, 255, 0}, DataDirection::kIn, 255);
  EXPECT_EQ(serial.data[1], 0x80);
  EXPECT_EQ(serial.Text(), "good " + std::to_string(4 + serial.data[3]));
  const Sent pages = Send(*drive, {0x12, 1, 0x00, 0, 255, 0}, DataDirection::kIn, 255);
  EXPECT_EQ(Bytes(pages.data.begin(), pages.data.begin() + 6), (Bytes{5, 0, 0, 2, 0x00, 0x80}));
  // READ DVD STRUCTURE asking for 4096 bytes into a buffer of 100.
  const std::vector<uint8_t> structure = {0xAD, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0};
  EXPECT_EQ(Send(*Drive("dvdrom"), structure, DataDirection::kIn, 100).Text(), "good 100");
}

// More blocks than 32 bits can number: FFFFFFFFh, as SBC asks (each preset's own capacity is in
// its summary and info golden files).
TEST(VirtualDrive, ReadCapacityOfMoreThan32BitsOfBlocks) {
  VirtualDrive drive(*FindDrivePreset("hdd"), MakeMemoryMedium(512, 0x200000000ull, false));
  const Sent s = Send(drive, Cdb10(0x25, 0, 0), DataDirection::kIn, 8);
  EXPECT_EQ(s.Text(), "good 8");
  EXPECT_EQ(s.data, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}));
}

// Writes reading back are every operation test's matter; VERIFY with BYTCHK compares with the data sent.
TEST(VirtualDrive, VerifyComparesAndZeroBlocksMoveNothing) {
  auto drive = Drive("hdd");
  std::vector<uint8_t> pattern(1024);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i ^ 0x5A);
  EXPECT_EQ(Send(*drive, Cdb10(0x2A, 16777214, 2), DataDirection::kOut, 0, pattern).Text(), "good 1024");
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.status,
            kScsiStatusGood);
  pattern[700] ^= 1;
  EXPECT_EQ(Send(*drive, Cdb10(0x2F, 16777214, 2, 0x02), DataDirection::kOut, 0, pattern).outcome.sense[2], 0x0E);
  EXPECT_EQ(Send(*drive, Cdb10(0x28, 0, 0), DataDirection::kNone).Text(), "good 0");
}

TEST(VirtualDrive, RequestSenseReportsTheStandingCondition) {
  for (const char* preset : {"dvdram", "nodisc"}) {
    auto drive = Drive(preset);
    const Sent s = Send(*drive, {0x03, 0, 0, 0, 252, 0}, DataDirection::kIn, 252);
    EXPECT_EQ(s.Text(), "good 18") << preset;
    EXPECT_EQ((std::vector<uint8_t>{s.data[0], s.data[7], s.data[12]}),
              (std::vector<uint8_t>{0x70, 10, uint8_t(drive->HasMedium() ? 0x00 : 0x3A)})) << preset;
  }
}

// A hook calling the drive's API under its lock: image_write_test's "disc taken out" row; a
// removed handler: the report and benchmark tests. A new disc gives one unit attention, which
// INQUIRY neither reports nor clears; taking it out gives another, then medium not present.
TEST(VirtualDrive, ADiscChangeGivesOneUnitAttention) {
  auto drive = Drive("dvdram");
  drive->ChangeMedium(MakeMemoryMedium(2048, 10, false));
  EXPECT_EQ(Send(*drive, {0x12, 0, 0, 0, 36, 0}, DataDirection::kIn, 36).Text(), "good 36");
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "good 0"}));
  drive->ChangeMedium(nullptr);
  EXPECT_EQ((Answers{Tur(*drive), Tur(*drive)}), (Answers{"check 6/28h", "check 2/3Ah"}));
}

TEST(VirtualDrive, TimingModelGrowsWithDistanceAndLength) {
  const TimingModel m{.commandOverheadMs = 1, .trackToTrackSeekMs = 2, .fullStrokeSeekMs = 102,
                      .rotationsPerMinute = 6000, .transferMBps = 2.048};
  HeadPosition head;
  // No block address: overhead only, the head stays.
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, false, 5000, 1), 1.0);
  EXPECT_EQ(head.lba, 0u);
  // Full stroke: overhead + 102 ms seek + 5 ms half turn + 1 ms per 2048 bytes.
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, true, 10000, 4), 1 + 102 + 5 + 4);
  EXPECT_EQ(head.lba, 10004u);
  // Reading on from where the head is: no seek, no latency.
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, true, 10004, 1), 1 + 1);
  // A quarter of the stroke costs half the seek span (square root).
  head.lba = 0;
  EXPECT_DOUBLE_EQ(CommandDelayMs(m, 10000, 2048, head, true, 2500, 0), 1 + 2 + 50 + 5);
}

// Timing off, the clock stands still; on, a command without a block address and a refused read
// cost the overhead alone (0.5 ms on DVD-RAM), and drive time passes without sleeping.
TEST(SimulatedClock, EachCommandAdvancesItByTheModelsDelay) {
  auto drive = MakeVirtualDrive(*FindDrivePreset("dvdram"));
  auto clock = std::make_shared<SimulatedClock>();
  drive->SetSimulatedClock(clock);
  std::vector<uint8_t> buffer(65536);
  drive->Execute(Cdb10(scsi_op::kRead10, 1000, 32), DataDirection::kIn, buffer.data(), 65536);
  EXPECT_EQ(clock->NowMicroseconds(), 0);
  drive->SetTimingEnabled(true);
  drive->Execute(std::vector<uint8_t>(6, 0), DataDirection::kNone, nullptr, 0);
  EXPECT_EQ(clock->NowMicroseconds(), 500);
  drive->Execute(Cdb10(scsi_op::kRead10, 0xFFFFFF00u, 1), DataDirection::kIn, buffer.data(), 2048);
  EXPECT_EQ(clock->NowMicroseconds(), 1000);
  const auto started = std::chrono::steady_clock::now();
  drive->Execute(Cdb10(scsi_op::kRead10, 2000000, 32), DataDirection::kIn, buffer.data(), 65536);
  EXPECT_GT(clock->NowMicroseconds(), 100000);  // more than 100 ms of drive time...
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));  // ...taken at once
}

// One 64 KiB READ(10) right where a SEEK(10) left the head: overhead and transfer only, at the
// rate of the place read (constant on DVD-RAM, growing 2.4 times outwards on the DVD-ROM), plus
// the time of a slow place the read touches. Microseconds worked out by hand from the presets,
// fractions dropped.
TEST(SimulatedClock, TransferTimeFollowsThePlaceOnTheDisc) {
  const struct {
    const char* name;
    const char* drive;
    uint32_t lba;
    int64_t us;
  } cases[] = {
      {"constant linear, outer edge", "E=dvdram", 2295072, 9997},    // 0.5 + 65536 / 6900
      {"constant angular, inner edge", "E=dvdrom", 0, 7649},         // 0.5 + 65536 / (22000 / 2.4)
      {"constant angular, middle", "E=dvdrom", 2085840, 4388},       // rate x sqrt(0.174 + 0.826 / 2)
      {"constant angular, outer edge", "E=dvdrom", 4171680, 3478},   // 0.5 + 65536 / 22000
      {"slow place touched", "E=dvdram:slow=40+1+40", 32, 49997},
      {"slow place just after", "E=dvdram:slow=64+1+40", 32, 9997},
  };
  std::vector<uint8_t> buffer(65536);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<VirtualDriveSpec> parsed;
    std::string error;
    ASSERT_EQ(ParseVirtualDriveSpecs(c.drive, parsed, error), 0) << error;
    auto drive = MakeVirtualDrive(parsed.at(0), error);
    auto clock = std::make_shared<SimulatedClock>();
    drive->SetSimulatedClock(clock);
    drive->SetTimingEnabled(true);
    drive->Execute(Cdb10(scsi_op::kSeek10, c.lba, 0), DataDirection::kNone, nullptr, 0);
    const int64_t before = clock->NowMicroseconds();
    drive->Execute(Cdb10(scsi_op::kRead10, c.lba, 32), DataDirection::kIn, buffer.data(), 65536);
    EXPECT_EQ(clock->NowMicroseconds() - before, c.us);
  }
}

// A scratch folder of this process, removed with everything in it.
struct TempDir {
  std::filesystem::path path = std::filesystem::temp_directory_path() / ("orv-medium-" + std::to_string(::getpid()));
  TempDir() { std::filesystem::remove_all(path); std::filesystem::create_directories(path); }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::filesystem::path operator/(const char* name) const { return path / name; }
};

// A missing file is made at the preset size, an existing one gives its size; block 2295103 starts
// at 4,700,370,944: past 2^32, where a 32-bit offset would wrap.
TEST(ImageMedium, MadeOrOpenedAndBlocksLandAtTheirOffset) {
  TempDir dir;
  std::string error;
  auto medium = OpenImageMedium(dir / "disc.img", 2048, 2295104, false, error);
  ASSERT_NE(medium, nullptr) << error;
  EXPECT_EQ(std::filesystem::file_size(dir / "disc.img"), 2295104ull * 2048);
  EXPECT_EQ(medium->BlockCount(), 2295104u);
  std::vector<uint8_t> block(2048, 0xA5);
  ASSERT_EQ(medium->Write(2295103, 1, block.data()), 0);
  std::ifstream in(dir / "disc.img", std::ios::binary);
  for (const auto& [offset, value] :
       {std::pair{2295103ull * 2048 - 1, 0}, {2295103ull * 2048, 0xA5}, {2295103ull * 2048 - 0x100000000ull, 0}}) {
    in.seekg(static_cast<std::streamoff>(offset));
    EXPECT_EQ(in.get(), value) << offset;
  }
  std::vector<uint8_t> back(2048, 1);
  ASSERT_EQ(medium->Read(2295103, 1, back.data()), 0);
  EXPECT_EQ(back, block);

  { std::ofstream(dir / "raw.img", std::ios::binary) << std::string(5 * 2048 + 100, 'x'); }
  { std::ofstream(dir / "tiny.img", std::ios::binary) << "abc"; }
  medium = OpenImageMedium(dir / "raw.img", 2048, 2295104, true, error);
  ASSERT_NE(medium, nullptr) << error;
  EXPECT_EQ(medium->BlockCount(), 5u);  // the partial tail is not a block
  EXPECT_TRUE(medium->ReadOnly());
  EXPECT_EQ(std::filesystem::file_size(dir / "raw.img"), 5u * 2048 + 100);  // left as it is
  EXPECT_EQ(OpenImageMedium(dir / "tiny.img", 2048, 10, false, error), nullptr);
  EXPECT_NE(error.find("smaller than one block"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(OpenImageMedium(dir / "no-such-dir" / "x.img", 2048, 10, false, error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(DriveConfig, WellFormedValues) {
  const std::pair<const char*, const char*> cases[] = {
      {"E=dvdram:/tmp/disc.img,F=dvdrom,G=hdd:/tmp/disk.img,H=nodisc",
       "E dvdram '/tmp/disc.img'\nF dvdrom ''\nG hdd '/tmp/disk.img'\nH nodisc ''\n"},
      {"E=dvdram:C:\\d.img:bad=1000+16:slow=5000+200+40",
       "E dvdram 'C:\\d.img' bad=1000+16 slow=5000+200+40\n"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    std::vector<VirtualDriveSpec> driveSpecs;
    std::string error, listed;
    ASSERT_EQ(ParseVirtualDriveSpecs(text, driveSpecs, error), 0) << error;
    for (const VirtualDriveSpec& d : driveSpecs) {
      listed += std::string(1, d.letter) + " " + d.preset + " '" + d.image + "'";
      for (const MediumFault& f : d.faults) listed += " " + MediumFaultText(f);
      listed += "\n";
    }
    EXPECT_EQ(listed, expected);
  }
}

TEST(DriveConfig, MalformedValuesAreRejectedWhole) {
  struct Case {
    const char* text;
    const char* mentions;
  };
  const Case cases[] = {
      {"E=dvdram,,F=hdd", "empty entry"},         {"E", "LETTER=PRESET"},
      {"1=hdd", "A to Z"},                        {"E=hdd:", "empty image path"},
      {"E=hdd,e=dvdram", "configured twice"},     {"H=nodisc:/tmp/x.img", "no disc"},
      {"E=cdrom", "unknown preset \"cdrom\" (known: dvdram, dvdrom, hdd, nodisc, replay:TRACE)"},
      {"E=replay", "preset \"replay\" answers from a trace: replay:TRACE"},
      {"E=dvdram:/d.img:bad=5", "bad=FIRST+COUNT"}, {"E=dvdram:/d.img:bad=5+0", "COUNT above 0"},
      {"E=dvdram:/d.img:weak=5+1", "weak=FIRST+COUNT+TRIES"},
      {"E=dvdram:slow=5+1+x", "slow=FIRST+COUNT+MS"}, {"H=nodisc:bad=1+2", "no media faults"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<VirtualDriveSpec> driveSpecs = {{'Q', "hdd", "", {}}};
    std::string error;
    EXPECT_EQ(ParseVirtualDriveSpecs(c.text, driveSpecs, error), -1);
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    EXPECT_NE(error.find("ORVANE_VIRTUAL_DRIVES"), std::string::npos) << error;
    ASSERT_EQ(driveSpecs.size(), 1u);  // nothing kept from a faulty value
    EXPECT_EQ(driveSpecs[0].letter, 'Q');
  }
}

TEST(DriveConfig, TimingSwitch) {
  const std::tuple<const char*, int, bool> cases[] = {{"", 0, false}, {"0", 0, false}, {"1", 0, true},
                                                      {"yes", -1, true}, {"10", -1, true}};
  for (const auto& [text, result, enabled] : cases) {
    bool value = !enabled;  // a refused value leaves the switch alone
    std::string error;
    EXPECT_EQ(ParseVirtualTiming(text, value, error), result) << text;
    EXPECT_EQ(value, result == 0 ? enabled : !enabled) << text;
    EXPECT_EQ(error.find("ORVANE_VIRTUAL_TIMING") != std::string::npos, result != 0) << error;
  }
}

TEST(TraceFormat, LinesAreTheDocumentedText) {
  TraceHeader header;
  header.os = "linux";
  EXPECT_EQ(TraceHeaderLine(header), R"({"orvane":"trace","version":2,"os":"linux","writeData":false})");
  TraceEvent e;
  e.number = 7, e.op = TraceOp::kPassThrough, e.path = "\\\\.\\E:", e.targetId = 1, e.cdb = {0x12, 0, 0, 0, 4, 0};
  e.direction = DataDirection::kIn, e.length = 4, e.timeout = 10, e.micros = 41;
  e.moved = 4, e.received = {0x05, 0x80, 0x00, 0x21};
  const std::string common =
      R"({"n":7,"op":"scsi","path":"\\\\.\\E:","form":"buffered","unit":[0,1,0],"cdb":"120000000400","dir":"in",)"
      R"("length":4,"timeout":10,)";
  EXPECT_EQ(TraceEventLine(e),
            common + R"("ok":true,"error":0,"us":41,"status":0,"sense":"","moved":4,"received":"05800021"})");
  e.ok = false, e.error = 121;  // a call that failed carries no answer
  EXPECT_EQ(TraceEventLine(e), common + R"("ok":false,"error":121,"us":41})");
}

TEST(TraceFormat, AHandEditedLineTakesTheDefaultsOfAGoodAnswer) {
  TraceEvent e;
  std::string error;
  ASSERT_EQ(ParseTraceEvent(R"({"op":"scsi","path":"E","cdb":"5A","dir":"in","received":"000A0000"})", e, error), 0)
      << error;
  EXPECT_TRUE(e.ok && !e.direct);
  EXPECT_EQ((std::vector<uint64_t>{e.status, e.length, e.moved}), (std::vector<uint64_t>{0, 4, 4}));
  ASSERT_EQ(ParseTraceEvent(R"({"op":"scsi","path":"E","cdb":"2a00","dir":"out","length":2048})", e, error), 0)
      << error;
  EXPECT_EQ(e.moved, 2048u);
  EXPECT_FALSE(e.sent.has_value());
}

TEST(TraceFormat, FaultyLinesAreRefusedWithTheReason) {
  const auto scsi = [](const char* rest) { return R"({"op":"scsi","path":"E",)" + std::string(rest) + "}"; };
  const struct {
    std::string line;
    const char* error;
  } cases[] = {
      {"[1]", "an event must be a JSON object"},
      {R"({"op":"bogus"})", R"(unknown "op" "bogus")"},
      {R"({"path":"E"})", R"("op" is missing)"},
      {R"({"op":"open"})", R"("path" is missing)"},
      {scsi(R"("cdb":"","dir":"in")"), R"("cdb" must hold 1 to 16 bytes)"},
      {scsi(R"("cdb":"000","dir":"in")"), R"("cdb" must be hex digits, two per byte)"},
      {scsi(R"("cdb":"00","dir":"up")"), R"("dir" must be "in", "out" or "none")"},
      {scsi(R"("cdb":"00","dir":"none","length":4)"), R"("length" must be 0 when "dir" is "none")"},
      {scsi(R"("cdb":"28","dir":"in")"), R"("length" must not be 0 when data moves)"},
      {scsi(R"("cdb":"28","dir":"in","length":2,"received":"0102","moved":3)"), R"("moved" is more than "length")"},
      {scsi(R"("cdb":"28","dir":"in","length":8,"received":"0102","moved":4)"),
       R"("moved" says 4 bytes, "received" holds 2)"},
      {scsi(R"("cdb":"2A","dir":"out","length":1,"received":"01")"), R"("received" with a "dir" other than "in")"},
      {scsi(R"("cdb":"28","dir":"in","length":8,"received":null,"digest":"0102")"), R"("digest" must hold 8 bytes)"},
      {scsi(R"("cdb":"28","dir":"in","length":1,"sent":"01")"), R"("sent" with a "dir" other than "out")"},
      {scsi(R"("cdb":"00","dir":"none","status":256)"), R"("status" must be a whole number from 0 to 255)"},
      {scsi(R"("cdb":"00","dir":"none","unit":[0,0])"), R"("unit" must be [path id, target id, LUN], each 0 to 255)"},
      {scsi(R"("form":"fast","cdb":"00","dir":"none")"), R"("form" must be "buffered" or "direct")"},
      {R"({"op":"candidates","drives":[{"letter":"EF","path":"x"}]})",
       R"(each of "drives" must be {"letter": one letter, "path": text})"},
      {R"({"op":"open","path":"E","ok":1})", R"("ok" must be true or false)"},
  };
  for (const auto& c : cases) {
    TraceEvent e;
    std::string error;
    EXPECT_EQ(ParseTraceEvent(c.line, e, error), -1) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
  const std::pair<const char*, const char*> headers[] = {
      {R"({"orvane":"trace","version":3})", "trace version 3 is not known here (this program reads versions 1 to 2)"},
      {R"({"orvane":"trace"})", R"("version" is missing)"},
      {R"({"n":1,"op":"open"})",
       R"(not a trace of this program (its first line must be {"orvane":"trace",...}))"},
  };
  for (const auto& [line, reason] : headers) {
    TraceHeader h;
    std::string error;
    EXPECT_EQ(ParseTraceHeader(line, h, error), -1) << line;
    EXPECT_EQ(error, reason) << line;
  }
}

// A trace of events on one path, as the tracing port writes it.
class TraceText {
 public:
  explicit TraceText(std::string path = "\\\\.\\E:") : path_(std::move(path)) {}
  TraceText& Command(Bytes cdb, DataDirection direction, uint32_t length, Bytes received = {}, uint8_t status = 0,
                     Bytes sense = {}) {
    TraceEvent e;
    e.op = TraceOp::kPassThrough, e.cdb = std::move(cdb), e.direction = direction, e.length = length;
    e.status = status, e.sense = std::move(sense);
    e.moved = direction == DataDirection::kIn ? static_cast<uint32_t>(received.size()) : length;
    e.received = std::move(received);
    return Add(e);
  }
  TraceText& LeftOut(Bytes cdb, uint32_t length) {  // a read whose data was kept as length and digest
    TraceEvent e;
    e.op = TraceOp::kPassThrough, e.cdb = std::move(cdb), e.direction = DataDirection::kIn;
    e.length = e.moved = length, e.receivedKept = false;
    return Add(e);
  }
  TraceText& Call(TraceOp op, bool ok, uint32_t error = 0, Bytes cdb = {}, Bytes answer = {}) {  // failed, or a control
    TraceEvent e;
    e.op = op, e.ok = ok, e.error = error, e.cdb = std::move(cdb), e.answer = std::move(answer);
    return Add(e);
  }
  const std::string& Text() const { return text_; }

 private:
  TraceText& Add(TraceEvent& e) {
    e.number = ++events_, e.path = path_;
    text_ += TraceEventLine(e) + "\n";
    return *this;
  }
  std::string path_, text_ = R"({"orvane":"trace","version":2,"os":"linux","writeData":false})" "\n";
  uint64_t events_ = 0;
};

const Bytes kCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes kCapacityAnswer = {0x00, 0x00, 0x0F, 0xFF, 0x00, 0x00, 0x08, 0x00};  // 4096 blocks of 2048

Bytes Read10(uint32_t lba, uint16_t blocks) { return Cdb10(0x28, lba, blocks); }
Bytes Write10(uint32_t lba, uint16_t blocks) { return Cdb10(0x2A, lba, blocks); }
Bytes Sector(uint8_t fill) { return Bytes(2048, fill); }
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

ReplayDrive Replay(const std::string& trace, char letter = 'E') {
  ReplayDrive made;
  std::string error;
  EXPECT_EQ(MakeReplayDriveFromText(trace, letter, made, error), 0) << error;
  return made;
}

TEST(ReplayDrive, TheNthAskingGetsTheNthAnswerThenTheLastOne) {
  const Bytes notReady = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01};
  TraceText trace;
  trace.Command(kTur, DataDirection::kNone, 0, {}, kScsiStatusCheckCondition, notReady)
      .Command(kTur, DataDirection::kNone, 0)
      .Call(TraceOp::kPassThrough, false, 121, {0x1B, 0, 0, 0, 1, 0});
  ReplayDrive replay = Replay(trace.Text());
  VirtualDrive& drive = *replay.drive;
  const Sent first = Send(drive, kTur, DataDirection::kNone);
  EXPECT_EQ(first.outcome.senseLength, 14u);
  EXPECT_EQ(Bytes(first.outcome.sense.begin(), first.outcome.sense.begin() + 14), notReady);
  for (int i = 2; i <= 4; ++i) EXPECT_EQ(Send(drive, kTur, DataDirection::kNone).Text(), "good 0") << "answer " << i;
  // The call that failed fails again, with its system error code.
  EXPECT_EQ(Send(drive, {0x1B, 0, 0, 0, 1, 0}, DataDirection::kNone).outcome.systemError, std::optional<uint32_t>(121));
  EXPECT_TRUE(replay.gaps->Empty());
  EXPECT_FALSE(drive.TimingEnabled());
}

// The same CDB and direction only: another allocation length is another command; without a
// recorded capacity a write is unknown too.
TEST(ReplayDrive, WhatTheTraceNeverSawIsRefusedAndListed) {
  ReplayDrive replay =
      Replay(TraceText().Command({0x12, 0, 0, 0, 4, 0}, DataDirection::kIn, 4, {5, 0x80, 0, 0x21}).Text());
  VirtualDrive& drive = *replay.drive;
  EXPECT_EQ(Send(drive, {0x12, 0, 0, 0, 4, 0}, DataDirection::kIn, 4).Moved(), (Bytes{5, 0x80, 0, 0x21}));
  EXPECT_EQ(Send(drive, {0x12, 0, 0, 0, 8, 0}, DataDirection::kIn, 8).Text(), "check 5/20h");
  EXPECT_EQ(Send(drive, Write10(0, 1), DataDirection::kOut, 0, Sector(1)).Text(), "check 5/20h");
  EXPECT_EQ(Send(drive, {0x12, 0, 0, 0, 8, 0}, DataDirection::kIn, 8).Text(), "check 5/20h");
  EXPECT_EQ(Send(drive, kTur, DataDirection::kNone).Text(), "check 5/20h");
  EXPECT_EQ(replay.gaps->Lines(), (std::vector<std::string>{
                                      "CDB 12 00 00 00 08 00 (data in, 8 bytes), asked 2 times",
                                      "CDB 2A 00 00 00 00 00 00 00 01 00 (data out, 2048 bytes), asked once",
                                      "CDB 00 00 00 00 00 00 (no data), asked once",
                                  }));
}

TEST(ReplayDrive, ReadsOfRecordedSectorsAndWritesGoToAnOverlay) {
  TraceText trace;
  trace.Command(kCapacity, DataDirection::kIn, 8, kCapacityAnswer)
      .Command(Read10(10, 2), DataDirection::kIn, 4096, Join(Sector(0x10), Sector(0x11)))
      .Command(Read10(12, 1), DataDirection::kIn, 2048, Sector(0x12))
      .LeftOut(Read10(10, 1), 2048)
      .LeftOut(Read10(30, 1), 2048)
      .Command(Read10(99, 1), DataDirection::kIn, 2048, {}, kScsiStatusCheckCondition,
               {0x70, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0})
      .Command(Write10(50, 1), DataDirection::kOut, 2048, {}, kScsiStatusCheckCondition,
               {0x70, 0, 0x07, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x27, 0});
  ReplayDrive replay = Replay(trace.Text());
  VirtualDrive& drive = *replay.drive;

  const struct {
    const char* name;
    Bytes cdb;
    uint32_t length;
    Bytes expected;  // the data; empty: refused
  } reads[] = {
      // Other CDBs than the trace's, over sectors its reads delivered.
      {"across two recorded reads", Read10(11, 2), 4096, Join(Sector(0x11), Sector(0x12))},
      {"a buffer shorter than the blocks", Read10(10, 2), 3000, Join(Sector(0x10), Bytes(952, 0x11))},
      {"a sector the trace never read", Read10(12, 2), 4096, {}},
      // Reads whose data the trace left out: the sectors other reads kept, else zeros.
      {"left out, over kept sectors", Read10(10, 1), 2048, Sector(0x10)},
      {"left out, nothing kept", Read10(30, 1), 2048, Bytes(2048, 0)},
  };
  for (const auto& r : reads) {
    const Sent asked = Send(drive, r.cdb, DataDirection::kIn, r.length);
    EXPECT_EQ(asked.Text(), r.expected.empty() ? "check 5/20h" : "good " + std::to_string(r.length)) << r.name;
    EXPECT_EQ(asked.Moved(), r.expected) << r.name;
  }
  // The read that failed fails again.
  EXPECT_EQ(Send(drive, Read10(99, 1), DataDirection::kIn, 2048).outcome.sense[2], 0x03);

  // A write the trace never saw lands in the overlay, and reads see it over the trace's data.
  EXPECT_EQ(Send(drive, Write10(11, 2), DataDirection::kOut, 0, Join(Sector(0xA1), Sector(0xA2))).Text(),
            "good 4096");
  EXPECT_EQ(Send(drive, Read10(10, 2), DataDirection::kIn, 4096).Moved(), Join(Sector(0x10), Sector(0xA1)));
  EXPECT_EQ(Send(drive, Read10(12, 1), DataDirection::kIn, 2048).Moved(), Sector(0xA2));
  EXPECT_EQ(Send(drive, Write10(20, 1), DataDirection::kOut, 0, Sector(0xB0)).Text(), "good 2048");
  EXPECT_EQ(Send(drive, Read10(20, 1), DataDirection::kIn, 2048).Moved(), Sector(0xB0));
  // The write the drive refused is refused again, and changes nothing.
  Sent refused = Send(drive, Write10(50, 1), DataDirection::kOut, 0, Sector(0xC0));
  EXPECT_EQ(refused.outcome.sense[2], 0x07);
  EXPECT_EQ(Send(drive, Read10(50, 1), DataDirection::kIn, 2048).Text(), "check 5/20h");
}

// File and drive types, addresses and answered controls replay as recorded in every preset's
// recorded scan and info (Trace.RecordedCommandsReplayToTheSameOutput); here, a failed control and
// the n-th answer of one.
TEST(ReplayDrive, ControlsAsRecorded) {
  const Bytes geometry(24, 0x23);
  TraceText trace;
  trace.Call(TraceOp::kAdapterInquiry, false, 1)
      .Call(TraceOp::kGeometry, true, 0, {}, geometry)
      .Call(TraceOp::kGeometry, false, 21);
  ReplayDrive replay = Replay(trace.Text());
  VirtualDriveFace& face = replay.drive->Face();
  ASSERT_TRUE(face.recordedControl);
  const std::optional<RecordedControl> inquiry = face.recordedControl(DriveControl::kAdapterInquiry);
  ASSERT_TRUE(inquiry && !inquiry->ok);
  EXPECT_EQ(inquiry->systemError, 1u);
  EXPECT_EQ(face.recordedControl(DriveControl::kGeometry)->answer, geometry);
  EXPECT_EQ(face.recordedControl(DriveControl::kGeometry)->systemError, 21u);
  EXPECT_TRUE(replay.gaps->Empty());
  // A trace without a control: the port answers as it does for a drive without one.
  ReplayDrive bare = Replay(TraceText().Command(kTur, DataDirection::kNone, 0).Text());
  EXPECT_FALSE(bare.drive->Face().recordedControl(DriveControl::kGeometry));
  EXPECT_FALSE(bare.drive->Face().hasScsiAddress);
  EXPECT_EQ(bare.gaps->Lines(),
            std::vector<std::string>{"the disk geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY), asked once"});
}

TEST(ReplayDrive, TheDriveOfTheLetterOrTheTracesOnlyDrive) {
  TraceText e("\\\\.\\E:"), f("\\\\.\\F:");
  e.Command({0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1, {0x0E});
  f.Command({0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1, {0x0F});
  // Two drives in one trace: the header of the second is dropped.
  const std::string both = e.Text() + f.Text().substr(f.Text().find('\n') + 1);
  const struct {
    const std::string& trace;
    char letter;
    uint8_t answer;
  } cases[] = {
      {both, 'E', 0x0E}, {both, 'f', 0x0F}, {e.Text(), 'H', 0x0E},
  };
  for (const auto& c : cases) {
    ReplayDrive made = Replay(c.trace, c.letter);
    ASSERT_TRUE(made.drive) << c.letter;
    EXPECT_EQ(Send(*made.drive, {0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1).Moved(), Bytes{c.answer}) << c.letter;
  }
  ReplayDrive none;
  std::string error;
  EXPECT_EQ(MakeReplayDriveFromText(both, 'G', none, error), -1);
  EXPECT_EQ(error,
            R"(the trace holds the drives \\.\E:, \\.\F: and none of them is drive G:; give each its own letter)");
}

TEST(ReplayDrive, AFileThatIsNoTraceIsRefusedWithItsLine) {
  const std::string header = TraceText().Text();
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"\n\n", "the file is empty, not a trace"},
      {"E=dvdram\n", "line 1: expected a value at byte 0"},
      {header + "\n{\"op\":\"scsi\"}\n", "line 3: \"path\" is missing"},
      {header + "{\"op\":\"open\",\"path\":\"\\\\\\\\.\\\\E:\",\"ok\":false,\"error\":2}\n",
       "the trace holds no command to any drive"},
  };
  ReplayDrive made;
  std::string error;
  for (const auto& c : cases) {
    EXPECT_EQ(MakeReplayDriveFromText(c.text, 'E', made, error), -1) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(made.drive, nullptr);
  }
  EXPECT_EQ(MakeReplayDrive("/nonexistent/trace.jsonl", 'E', made, error), -1);
  EXPECT_EQ(error, "cannot open the trace /nonexistent/trace.jsonl");
  // Paths that are no file to read: a FIFO would block the replay for ever.
  std::vector<std::string> paths = {fs::temp_directory_path().string()};
#ifndef _WIN32
  const fs::path fifo = fs::temp_directory_path() / "orvane-replay-fifo";
  fs::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  paths.insert(paths.end(), {fifo.string(), "/dev/zero"});
#endif
  for (const std::string& path : paths) {
    EXPECT_EQ(MakeReplayDrive(path, 'E', made, error), -1);
    EXPECT_EQ(error, "the trace " + path + " is not a regular file");
  }
#ifndef _WIN32
  fs::remove(fifo);
#endif
}

// A trace of 40 MB of reads replays from its file: the replay holds an index, not the data (it
// once held three to six times the file), and every read gives its own data back.
TEST(ReplayDrive, ATraceIsReadFromItsFileAsItIsAsked) {
  const fs::path path = fs::temp_directory_path() / "orvane-replay-large.jsonl";
  const auto fill = [](uint32_t read, uint32_t at) { return uint8_t(read * 7 + at / 2048); };
  {
    TraceText trace;
    for (uint32_t r = 0; r < 320; ++r) {
      Bytes data(65536);
      for (uint32_t at = 0; at < data.size(); ++at) data[at] = fill(r, at);
      trace.Command(Read10(r * 32, 32), DataDirection::kIn, 65536, data);
    }
    std::ofstream(path, std::ios::binary) << trace.Text();
  }
  ASSERT_GT(fs::file_size(path), 40u << 20);
  uint64_t pages = 0, before = 0, after = 0;  // /proc/self/statm: pages in all, resident (Linux)
  std::ifstream("/proc/self/statm") >> pages >> before;
  ReplayDrive made;
  std::string error;
  ASSERT_EQ(MakeReplayDrive(path, 'E', made, error), 0) << error;
  for (uint32_t r = 320; r-- > 0;) {
    const Sent asked = Send(*made.drive, Read10(r * 32, 32), DataDirection::kIn, 65536);
    ASSERT_EQ(asked.outcome.transferred, 65536u) << r;
    for (uint32_t at : {0u, 2048u, 65535u}) ASSERT_EQ(asked.data[at], fill(r, at)) << r << " at " << at;
  }
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer holds freed memory back
  if (std::ifstream("/proc/self/statm") >> pages >> after) {
    EXPECT_LT(int64_t(after) - int64_t(before), 2048) << "pages of 4 KiB";
  }
#endif
  made = {};
  fs::remove(path);
}

}  // namespace
}  // namespace orv

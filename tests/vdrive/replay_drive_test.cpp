// The drive that answers from a trace, asked directly; the console's Trace tests replay recorded runs.
#include "vdrive/replay_drive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "scsi/status.h"
#include "vdrive/trace_format.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A trace of events on one path, as the tracing port writes it.
class TraceText {
 public:
  explicit TraceText(std::string path = "\\\\.\\E:") : path_(std::move(path)) {
    TraceHeader header;
    header.os = "linux";
    text_ = TraceHeaderLine(header) + "\n";
  }
  TraceText& Command(Bytes cdb, DataDirection direction, uint32_t length, Bytes received = {}, uint8_t status = 0,
                     Bytes sense = {}) {
    TraceEvent e = Event(TraceOp::kPassThrough, std::move(cdb));
    e.direction = direction, e.length = length, e.status = status, e.sense = std::move(sense);
    e.moved = direction == DataDirection::kIn ? static_cast<uint32_t>(received.size()) : length;
    e.received = std::move(received);
    return Add(e);
  }
  TraceText& LeftOut(Bytes cdb, uint32_t length) {  // a read whose data was kept as length and digest
    TraceEvent e = Event(TraceOp::kPassThrough, std::move(cdb));
    e.direction = DataDirection::kIn, e.length = e.moved = length, e.receivedKept = false;
    return Add(e);
  }
  TraceText& Call(TraceOp op, bool ok, uint32_t error = 0, Bytes cdb = {}, Bytes answer = {}) {  // failed, or a control
    TraceEvent e = Event(op, std::move(cdb));
    e.ok = ok, e.error = error, e.answer = std::move(answer);
    return Add(e);
  }
  const std::string& Text() const { return text_; }

 private:
  TraceEvent Event(TraceOp op, Bytes cdb) const {
    TraceEvent e;
    e.op = op, e.path = path_, e.cdb = std::move(cdb);
    return e;
  }
  TraceText& Add(TraceEvent& e) {
    e.number = ++events_;
    text_ += TraceEventLine(e) + "\n";
    return *this;
  }
  std::string path_, text_;
  uint64_t events_ = 0;
};

const Bytes kTur = {0x00, 0, 0, 0, 0, 0};
const Bytes kCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes kCapacityAnswer = {0x00, 0x00, 0x0F, 0xFF, 0x00, 0x00, 0x08, 0x00};  // 4096 blocks of 2048

Bytes Cdb10(uint8_t op, uint32_t lba, uint16_t blocks) {
  return {op, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, uint8_t(blocks >> 8),
          uint8_t(blocks), 0};
}
Bytes Read10(uint32_t lba, uint16_t blocks) { return Cdb10(0x28, lba, blocks); }
Bytes Write10(uint32_t lba, uint16_t blocks) { return Cdb10(0x2A, lba, blocks); }
Bytes Sector(uint8_t fill) { return Bytes(2048, fill); }
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Asked {
  CommandOutcome outcome;
  Bytes data;  // cut to the bytes moved
};
Asked Ask(VirtualDrive& drive, const Bytes& cdb, DataDirection direction = DataDirection::kNone, uint32_t length = 0,
          Bytes data = {}) {
  Asked asked;
  asked.data = data.empty() ? Bytes(length, 0xEE) : std::move(data);
  asked.outcome = drive.Execute(cdb, direction, asked.data.empty() ? nullptr : asked.data.data(), length);
  asked.data.resize(std::min<size_t>(asked.outcome.transferred, asked.data.size()));
  return asked;
}

ReplayDrive Replay(const std::string& trace, char letter = 'E') {
  ReplayDrive made;
  std::string error;
  EXPECT_EQ(MakeReplayDriveFromText(trace, letter, made, error), 0) << error;
  return made;
}

bool RefusedAsUnknown(const Asked& asked) {
  return asked.outcome.status == kScsiStatusCheckCondition && asked.outcome.sense[2] == 0x05 &&
         asked.outcome.sense[12] == 0x20 && asked.outcome.sense[13] == 0x00;
}

TEST(ReplayDrive, TheNthAskingGetsTheNthAnswerThenTheLastOne) {
  const Bytes notReady = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01};
  TraceText trace;
  trace.Command(kTur, DataDirection::kNone, 0, {}, kScsiStatusCheckCondition, notReady)
      .Command(kTur, DataDirection::kNone, 0)
      .Call(TraceOp::kPassThrough, false, 121, {0x1B, 0, 0, 0, 1, 0});
  ReplayDrive replay = Replay(trace.Text());
  VirtualDrive& drive = *replay.drive;
  const Asked first = Ask(drive, kTur);
  EXPECT_EQ(first.outcome.senseLength, 14u);
  EXPECT_EQ(Bytes(first.outcome.sense.begin(), first.outcome.sense.begin() + 14), notReady);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Ask(drive, kTur).outcome.status, kScsiStatusGood) << "answer " << i + 2;
  // The call that failed fails again, with its system error code.
  EXPECT_EQ(Ask(drive, {0x1B, 0, 0, 0, 1, 0}).outcome.systemError, std::optional<uint32_t>(121));
  EXPECT_TRUE(replay.gaps->Empty());
  EXPECT_FALSE(drive.TimingEnabled());
}

// The same CDB and direction only: another allocation length is another command; without a
// recorded capacity a write is unknown too.
TEST(ReplayDrive, WhatTheTraceNeverSawIsRefusedAndListed) {
  ReplayDrive replay = Replay(TraceText().Command({0x12, 0, 0, 0, 4, 0}, DataDirection::kIn, 4, {5, 0x80, 0, 0x21}).Text());
  VirtualDrive& drive = *replay.drive;
  EXPECT_EQ(Ask(drive, {0x12, 0, 0, 0, 4, 0}, DataDirection::kIn, 4).data, (Bytes{5, 0x80, 0, 0x21}));
  EXPECT_TRUE(RefusedAsUnknown(Ask(drive, {0x12, 0, 0, 0, 8, 0}, DataDirection::kIn, 8)));
  EXPECT_TRUE(RefusedAsUnknown(Ask(drive, Write10(0, 1), DataDirection::kOut, 2048, Sector(1))));
  EXPECT_TRUE(RefusedAsUnknown(Ask(drive, {0x12, 0, 0, 0, 8, 0}, DataDirection::kIn, 8)));
  EXPECT_TRUE(RefusedAsUnknown(Ask(drive, kTur)));
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
      {"one sector inside a recorded read", Read10(11, 1), 2048, Sector(0x11)},
      {"across two recorded reads", Read10(11, 2), 4096, Join(Sector(0x11), Sector(0x12))},
      {"a buffer shorter than the blocks", Read10(10, 2), 3000, Join(Sector(0x10), Bytes(952, 0x11))},
      {"a sector the trace never read", Read10(12, 2), 4096, {}},
      // Reads whose data the trace left out: the sectors other reads kept, else zeros.
      {"left out, over kept sectors", Read10(10, 1), 2048, Sector(0x10)},
      {"left out, nothing kept", Read10(30, 1), 2048, Bytes(2048, 0)},
  };
  for (const auto& r : reads) {
    const Asked asked = Ask(drive, r.cdb, DataDirection::kIn, r.length);
    EXPECT_TRUE(r.expected.empty() ? RefusedAsUnknown(asked) : asked.outcome.status == kScsiStatusGood) << r.name;
    EXPECT_EQ(asked.data, r.expected) << r.name;
  }
  // The read that failed fails again.
  EXPECT_EQ(Ask(drive, Read10(99, 1), DataDirection::kIn, 2048).outcome.sense[2], 0x03);

  // A write the trace never saw lands in the overlay, and reads see it over the trace's data.
  Asked written = Ask(drive, Write10(11, 2), DataDirection::kOut, 4096, Join(Sector(0xA1), Sector(0xA2)));
  EXPECT_EQ(written.outcome.status, kScsiStatusGood);
  EXPECT_EQ(written.outcome.transferred, 4096u);
  EXPECT_EQ(Ask(drive, Read10(10, 2), DataDirection::kIn, 4096).data, Join(Sector(0x10), Sector(0xA1)));
  EXPECT_EQ(Ask(drive, Read10(12, 1), DataDirection::kIn, 2048).data, Sector(0xA2));
  EXPECT_EQ(Ask(drive, Write10(20, 1), DataDirection::kOut, 2048, Sector(0xB0)).outcome.status, kScsiStatusGood);
  EXPECT_EQ(Ask(drive, Read10(20, 1), DataDirection::kIn, 2048).data, Sector(0xB0));
  // The write the drive refused is refused again, and changes nothing.
  Asked refused = Ask(drive, Write10(50, 1), DataDirection::kOut, 2048, Sector(0xC0));
  EXPECT_EQ(refused.outcome.sense[2], 0x07);
  EXPECT_TRUE(RefusedAsUnknown(Ask(drive, Read10(50, 1), DataDirection::kIn, 2048)));
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
  TraceText e("\\\\.\\E:"), f("\\\\.\\F:"), sr("/dev/sr0");
  e.Command({0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1, {0x0E});
  f.Command({0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1, {0x0F});
  sr.Command({0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1, {0x55});
  // Two drives in one trace: the header of the second is dropped.
  const std::string both = e.Text() + f.Text().substr(f.Text().find('\n') + 1);
  const struct {
    const std::string& trace;
    char letter;
    uint8_t answer;
  } cases[] = {
      {both, 'E', 0x0E}, {both, 'f', 0x0F}, {sr.Text(), 'G', 0x55}, {e.Text(), 'H', 0x0E},
  };
  for (const auto& c : cases) {
    ReplayDrive made = Replay(c.trace, c.letter);
    ASSERT_TRUE(made.drive) << c.letter;
    EXPECT_EQ(Ask(*made.drive, {0x12, 0, 0, 0, 1, 0}, DataDirection::kIn, 1).data, Bytes{c.answer}) << c.letter;
  }
  ReplayDrive none;
  std::string error;
  EXPECT_EQ(MakeReplayDriveFromText(both, 'G', none, error), -1);
  EXPECT_EQ(error, "the trace holds the drives \\\\.\\E:, \\\\.\\F: and none of them is drive G:; give each its own letter");
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
// once held three to six times the file), and every read gives its own data back. A read whose
// data the trace left out moves as many bytes, zeros.
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
    std::ofstream(path, std::ios::binary) << trace.LeftOut(Read10(100000, 32), 65536).Text();
  }
  ASSERT_GT(fs::file_size(path), 40u << 20);
  uint64_t pages = 0, before = 0, after = 0;  // /proc/self/statm: pages in all, resident (Linux)
  std::ifstream("/proc/self/statm") >> pages >> before;
  ReplayDrive made;
  std::string error;
  ASSERT_EQ(MakeReplayDrive(path, 'E', made, error), 0) << error;
  for (uint32_t r = 320; r-- > 0;) {
    const Asked asked = Ask(*made.drive, Read10(r * 32, 32), DataDirection::kIn, 65536);
    ASSERT_EQ(asked.data.size(), 65536u) << r;
    for (uint32_t at : {0u, 2048u, 65535u}) ASSERT_EQ(asked.data[at], fill(r, at)) << r << " at " << at;
  }
  EXPECT_EQ(Ask(*made.drive, Read10(100000, 32), DataDirection::kIn, 65536).data, Bytes(65536, 0));
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

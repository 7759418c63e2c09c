// A benchmark's world in a test: one virtual drive E: with its timing model on, a simulated
// clock that the drive advances instead of sleeping (so a 17-row run takes no real time), the
// benchmark's clock reading that clock, a record of every command the drive received, and a port
// in front of the drive whose geometry answer a test can replace or fail.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/control_answers.h"
#include "device/ports/pass_through.h"
#include "device/ports/virtual_port.h"
#include "toolkit/endian.h"
#include "vdrive/drive_config.h"
#include "vdrive/medium.h"
#include "vdrive/timing.h"

namespace orv::test {

// The benchmark's clock over the simulated one. Pauses advance it too; a test can make one
// reading go back.
class SimulatedBenchClock : public BenchClock {
 public:
  explicit SimulatedBenchClock(std::shared_ptr<SimulatedClock> clock) : clock_(std::move(clock)) {}

  int64_t NowMicroseconds() override {
    ++readings_;
    last_ = readings_ == backAt_ ? last_ - 1 : clock_->NowMicroseconds();
    return last_;
  }
  void Pause(uint32_t milliseconds) override {
    pauses_.push_back({milliseconds, clock_->NowMicroseconds()});
    clock_->Advance(int64_t{milliseconds} * 1000);
  }

  // Reading number `n` (counting from 1) is one microsecond before the reading before it.
  void GoBackAtReading(uint64_t n) { backAt_ = n; }
  uint64_t Readings() const { return readings_; }
  struct PauseTaken {
    uint32_t ms;
    int64_t at;  // when it began
  };
  const std::vector<PauseTaken>& Pauses() const { return pauses_; }

 private:
  std::shared_ptr<SimulatedClock> clock_;
  uint64_t readings_ = 0;
  uint64_t backAt_ = 0;
  int64_t last_ = 0;
  std::vector<PauseTaken> pauses_;
};

// The geometry a drive reports: as the virtual drive does (32 sectors per track), another
// number of sectors per track, or a failing request.
struct GeometryAnswer {
  bool fails = false;
  std::optional<uint32_t> sectorsPerTrack;
};

// Forwards everything to the virtual port, except that the geometry answer can be changed.
class GeometryPort : public DevicePort {
 public:
  GeometryPort(std::unique_ptr<DevicePort> inner, GeometryAnswer answer)
      : inner_(std::move(inner)), answer_(answer) {}

  PortHandle Open(const char* path, uint8_t flags) override { return inner_->Open(path, flags); }
  int Close(PortHandle handle) override { return inner_->Close(handle); }
  uint32_t GetFileType(PortHandle handle) override { return inner_->GetFileType(handle); }
  bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* bytesReturned) override {
    failed_ = false;
    if (code == kIoctlDiskGetDriveGeometry && answer_.fails) {
      failed_ = true;
      return false;
    }
    const bool ok = inner_->IoControl(handle, code, in, inLength, out, outLength, bytesReturned);
    if (ok && code == kIoctlDiskGetDriveGeometry && answer_.sectorsPerTrack) {
      DiskGeometry g = DecodeDiskGeometry(static_cast<uint8_t*>(out));
      g.sectorsPerTrack = *answer_.sectorsPerTrack;
      EncodeDiskGeometry(g, static_cast<uint8_t*>(out));
    }
    return ok;
  }
  uint32_t LastError() const override {
    return failed_ ? inner_->ErrorCode(PortError::kInvalidFunction) : inner_->LastError();
  }
  uint32_t ErrorCode(PortError error) const override { return inner_->ErrorCode(error); }
  uint32_t DriveType(const char* rootPath) override { return inner_->DriveType(rootPath); }
  std::vector<DriveCandidate> DriveCandidates() override { return inner_->DriveCandidates(); }

 private:
  std::unique_ptr<DevicePort> inner_;
  GeometryAnswer answer_;
  bool failed_ = false;
};

// One command as the drive received it, with the simulated time it arrived at.
struct SentCommand {
  uint8_t opcode = 0;
  uint64_t lba = 0;
  uint32_t blocks = 0;
  int64_t at = 0;
};

struct BenchRigSetup {
  DrivePreset preset = *FindDrivePreset("dvdram");
  uint32_t blockLength = 0;  // 0: the preset's
  uint64_t blockCount = 0;   // 0: the preset's
  GeometryAnswer geometry;
  bool timing = true;
  bool withMedium = true;
};

// The drive with its tray empty.
inline BenchRigSetup NoDisc() {
  BenchRigSetup setup;
  setup.withMedium = false;
  return setup;
}
// A disc of `blockCount` blocks of `blockLength` bytes.
inline BenchRigSetup Disc(uint32_t blockLength, uint64_t blockCount) {
  BenchRigSetup setup;
  setup.blockLength = blockLength;
  setup.blockCount = blockCount;
  return setup;
}

class BenchRig {
 public:
  explicit BenchRig(const BenchRigSetup& setup = {})
      : simulated_(std::make_shared<SimulatedClock>()), clock_(simulated_) {
    DrivePreset preset = setup.preset;
    if (setup.blockLength) preset.blockLength = setup.blockLength;
    if (setup.blockCount) preset.blockCount = setup.blockCount;
    std::unique_ptr<Medium> medium;
    if (setup.withMedium) medium = MakeMemoryMedium(preset.blockLength, preset.blockCount, preset.readOnly);
    drive_ = std::make_shared<VirtualDrive>(preset, std::move(medium));
    drive_->SetTimingEnabled(setup.timing);
    drive_->SetSimulatedClock(simulated_);
    drive_->SetAnswerHook([this](VirtualDrive&, CommandContext& c) { return Hook(c); });
    auto port = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    virtualPort_ = port.get();
    port->AddDrive('E', drive_);
    list_ = std::make_unique<DriveList>(std::make_unique<GeometryPort>(std::move(port), setup.geometry));
    list_->Scan(nullptr);
    sent_.clear();
  }

  bool Ready() const { return list_->Count() > 0; }
  VirtualDrive& Drive() { return *drive_; }
  DriveList& List() { return *list_; }
  DeviceHandle& Device() { return list_->Device(); }
  const DriveRecord& Record() const { return list_->Records().front(); }
  SimulatedBenchClock& Clock() { return clock_; }
  SimulatedClock& Simulated() { return *simulated_; }
  PortHandle HoldOpen(uint8_t flags) { return virtualPort_->Open("\\\\.\\E:", flags); }
  void Release(PortHandle handle) { virtualPort_->Close(handle); }

  // Every command since the rig was made (after the scan).
  const std::vector<SentCommand>& Sent() const { return sent_; }
  // The commands between the start of pause `index` (counting from 0) and the next pause: a run
  // pauses before each zero-motion test (3), each seek test (2) and each transfer measurement.
  std::vector<SentCommand> SentAfterPause(size_t index) const {
    std::vector<SentCommand> after;
    const auto& pauses = clock_.Pauses();
    if (index >= pauses.size()) return after;
    const int64_t from = pauses[index].at;
    const int64_t to = index + 1 < pauses.size() ? pauses[index + 1].at : INT64_MAX;
    for (const SentCommand& s : sent_)
      if (s.at >= from && s.at < to) after.push_back(s);
    return after;
  }
  // Answers the commands it returns true for itself (the handler does not run): fail them with
  // `sense` by default.
  void FailWhen(std::function<bool(const SentCommand&)> when, SenseCode sense = kSenseUnrecoveredReadError) {
    failWhen_ = std::move(when);
    failSense_ = sense;
  }
  // Runs before each command is answered.
  void OnCommand(std::function<void(const SentCommand&)> action) { onCommand_ = std::move(action); }

 private:
  bool Hook(CommandContext& c) {
    SentCommand sent;
    sent.opcode = c.Opcode();
    if (c.cdb.size() >= 10) {
      sent.lba = GetBe32(c.cdb.data() + 2);
      sent.blocks = GetBe16(c.cdb.data() + 7);
    }
    sent.at = simulated_->NowMicroseconds();
    sent_.push_back(sent);
    if (onCommand_) onCommand_(sent);
    if (failWhen_ && failWhen_(sent)) {
      c.Fail(failSense_);
      return true;
    }
    return false;
  }

  std::shared_ptr<SimulatedClock> simulated_;
  SimulatedBenchClock clock_;
  std::shared_ptr<VirtualDrive> drive_;
  VirtualPort* virtualPort_ = nullptr;  // owned by the list's device, behind the geometry port
  std::unique_ptr<DriveList> list_;
  std::vector<SentCommand> sent_;
  std::function<bool(const SentCommand&)> failWhen_;
  SenseCode failSense_{};
  std::function<void(const SentCommand&)> onCommand_;
};

}  // namespace orv::test

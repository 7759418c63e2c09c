// A benchmark's world: drive E: with its timing model on a simulated clock (a 17-row run takes no
// real time), every command it received, and a port whose geometry answer can be replaced.
#pragma once

#include <functional>
#include <memory>
#include <optional>
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

// Pauses advance the simulated clock too. Reading number `backAt` (from 1) goes back 1 us.
class SimulatedBenchClock : public BenchClock {
 public:
  explicit SimulatedBenchClock(std::shared_ptr<SimulatedClock> clock) : clock_(std::move(clock)) {}
  int64_t NowMicroseconds() override {
    last_ = ++readings_ == backAt ? last_ - 1 : clock_->NowMicroseconds();
    return last_;
  }
  void Pause(uint32_t milliseconds) override { clock_->Advance(int64_t{milliseconds} * 1000); }
  uint64_t backAt = 0;

 private:
  std::shared_ptr<SimulatedClock> clock_;
  uint64_t readings_ = 0;
  int64_t last_ = 0;
};

// The geometry: the virtual drive's (32 sectors per track), another sectors per track, or a failure.
struct GeometryAnswer {
  bool fails = false;
  std::optional<uint32_t> sectorsPerTrack = {};
};

class GeometryPort : public DevicePort {
 public:
  GeometryPort(std::unique_ptr<DevicePort> inner, GeometryAnswer answer) : inner_(std::move(inner)), answer_(answer) {}
  PortHandle Open(const char* path, uint8_t flags) override { return inner_->Open(path, flags); }
  int Close(PortHandle handle) override { return inner_->Close(handle); }
  uint32_t GetFileType(PortHandle handle) override { return inner_->GetFileType(handle); }
  bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* bytesReturned) override {
    failed_ = code == kIoctlDiskGetDriveGeometry && answer_.fails;
    if (failed_) return false;
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

// One command as the drive received it.
struct SentCommand {
  uint8_t opcode = 0;
  uint64_t lba = 0;
  uint32_t blocks = 0;
};

struct BenchRigSetup {
  DrivePreset preset = *FindDrivePreset("dvdram");
  uint32_t blockLength = 0;  // 0: the preset's
  uint64_t blockCount = 0;   // 0: the preset's
  GeometryAnswer geometry = {};
  bool withMedium = true;
};

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
    drive_->SetTimingEnabled(true);
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
  PortHandle HoldOpen(uint8_t flags) { return virtualPort_->Open("\\\\.\\E:", flags); }
  void Release(PortHandle handle) { virtualPort_->Close(handle); }
  const std::vector<SentCommand>& Sent() const { return sent_; }  // since the scan
  // Answers the commands it returns true for itself, failing them with `sense`.
  void FailWhen(std::function<bool(const SentCommand&)> when, SenseCode sense = kSenseUnrecoveredReadError) {
    failWhen_ = std::move(when);
    failSense_ = sense;
  }
  void OnCommand(std::function<void(const SentCommand&)> action) { onCommand_ = std::move(action); }

 private:
  bool Hook(CommandContext& c) {
    SentCommand sent{c.Opcode(), 0, 0};
    if (c.cdb.size() >= 10) {
      sent.lba = GetBe32(c.cdb.data() + 2);
      sent.blocks = GetBe16(c.cdb.data() + 7);
    }
    sent_.push_back(sent);
    if (onCommand_) onCommand_(sent);
    if (!failWhen_ || !failWhen_(sent)) return false;
    c.Fail(failSense_);
    return true;
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

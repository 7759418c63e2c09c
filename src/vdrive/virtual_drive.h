// The virtual drive: the program's own SCSI target emulator. It answers the commands a real
// drive answers, with the status and fixed-format sense a real drive gives, over a Medium.
//
// Commands are dispatched through a table keyed by opcode (command_table.cpp); a handler can be
// added or replaced per drive with SetHandler, and any answer can be replaced with fixed bytes
// or a hook (SetAnswerOverride, SetAnswerHook) without touching the handlers. Tests inspect
// the CDBs received and inject faults.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "vdrive/medium.h"
#include "vdrive/presets.h"
#include "vdrive/scsi_target.h"
#include "vdrive/timing.h"

namespace orv {

class VirtualDrive;

using CommandHandler = std::function<void(VirtualDrive& drive, CommandContext& command)>;

// The non-SCSI I/O controls a virtual drive answers.
enum class DriveControl : uint8_t { kGeometry, kAddress, kAdapterInquiry };

// A control's answer as it was recorded: the bytes returned, or the system error code of the
// failed call.
struct RecordedControl {
  bool ok = true;
  uint32_t systemError = 0;
  std::vector<uint8_t> answer;
};

// How the drive looks to the operating system's side: what the virtual port answers to the
// non-SCSI I/O controls and queries for this drive.
struct VirtualDriveFace {
  uint32_t fileType = 1;       // GetFileType: 1 disk
  uint32_t driveType = 5;      // GetDriveTypeA of its root
  bool hasScsiAddress = true;  // IOCTL_SCSI_GET_ADDRESS answers
  uint8_t portNumber = 1;
  uint8_t pathId = 0;
  uint8_t targetId = 0;
  uint8_t lun = 0;
  // The raw IOCTL_SCSI_GET_INQUIRY_DATA answer (SCSI_ADAPTER_BUS_INFO); empty: the control
  // fails, as on ports that have none, and the scan falls back to INQUIRY.
  std::vector<uint8_t> adapterInquiry;
  // Direct-form data buffers must be aligned to this mask + 1 bytes, as adapters require.
  uint32_t alignmentMask = 0;
  // A drive replayed from a trace gives the answers recorded there instead of the ones the
  // fields above and the medium make; nothing (or no function) answers as usual.
  std::function<std::optional<RecordedControl>(DriveControl)> recordedControl;
};

class VirtualDrive {
 public:
  // `medium` may be null: a drive without a disc.
  VirtualDrive(const DrivePreset& preset, std::unique_ptr<Medium> medium);
  ~VirtualDrive();
  VirtualDrive(const VirtualDrive&) = delete;
  VirtualDrive& operator=(const VirtualDrive&) = delete;

  const DrivePreset& Preset() const { return preset_; }
  VirtualDriveFace& Face() { return face_; }
  const VirtualDriveFace& Face() const { return face_; }

  // Runs one command. `buffer` holds `length` bytes: room for the answer (data in) or the data
  // sent (data out).
  CommandOutcome Execute(std::span<const uint8_t> cdb, DataDirection direction, uint8_t* buffer,
                         uint32_t length);

  // --- extension: commands and answers
  // Installs or replaces the handler of one opcode; an empty handler makes the opcode
  // unsupported (ILLEGAL REQUEST, invalid command operation code).
  void SetHandler(uint8_t opcode, CommandHandler handler);
  // Answers every later command with this opcode with `answer` as its data (GOOD status,
  // allocation length and buffer respected), instead of the handler.
  void SetAnswerOverride(uint8_t opcode, std::vector<uint8_t> answer);
  // A hook that sees every command before its handler; returning true means it answered.
  void SetAnswerHook(std::function<bool(VirtualDrive&, CommandContext&)> hook);
  void ClearAnswerOverrides();

  // --- the medium (handlers run with the drive locked and use these directly)
  Medium* GetMedium() { return medium_.get(); }
  bool HasMedium() const { return medium_ != nullptr; }
  // Block length and count of the disc, taken under the drive's lock (for callers outside a
  // handler); false without a disc.
  bool MediumSize(uint32_t& blockLength, uint64_t& blockCount) const;
  // Puts in a new disc (null: takes the disc out); the next command gets one UNIT ATTENTION,
  // medium may have changed (28h).
  void ChangeMedium(std::unique_ptr<Medium> medium);
  // The image file of the disc, empty for a disc in memory or no disc.
  std::filesystem::path ImagePath() const;
  // The standard INQUIRY data this drive answers (96 bytes).
  std::vector<uint8_t> StandardInquiry() const;

  // --- timing
  void SetTimingEnabled(bool enabled);
  bool TimingEnabled() const;
  // With a clock, a command with timing advances it by its delay instead of sleeping; null
  // (the default) sleeps.
  void SetSimulatedClock(std::shared_ptr<SimulatedClock> clock);
  // That clock, for a handler whose drive keeps its own time (it runs with the drive locked);
  // null when none is set.
  SimulatedClock* HandlerClock() const { return clock_.get(); }

  // --- test API
  // The most recent CDBs received, oldest first (up to 64).
  std::vector<std::vector<uint8_t>> LastCdbs() const;
  std::vector<uint8_t> LastCdb() const;
  uint64_t CommandCount() const;
  void ClearCommandLog();
  // The next `times` commands get CHECK CONDITION, UNIT ATTENTION with `asc` (28h medium
  // changed, 29h reset, 23h as some drives give).
  void InjectUnitAttention(int times, uint8_t asc = 0x28);
  // The next command (with `opcode`, or any when none is given) fails with `sense`.
  void InjectFailure(SenseCode sense, std::optional<uint8_t> opcode = std::nullopt);
  // The next data-moving command moves at most `bytes` bytes and reports GOOD.
  void InjectShortTransfer(uint32_t bytes);
  // A vanished device: every I/O control on it fails with a system error until it returns.
  void SetVanished(bool vanished);
  bool Vanished() const;

 private:
  void LogCdb(std::span<const uint8_t> cdb);
  bool TakeInjectedFault(CommandContext& command);

  const DrivePreset preset_;
  VirtualDriveFace face_;
  std::unique_ptr<Medium> medium_;
  std::vector<CommandHandler> handlers_;  // 256, by opcode
  std::vector<std::optional<std::vector<uint8_t>>> overrides_;  // 256, by opcode
  std::function<bool(VirtualDrive&, CommandContext&)> hook_;

  // Recursive: handlers and hooks run under it and may use the drive's own API.
  mutable std::recursive_mutex mutex_;
  std::deque<std::vector<uint8_t>> cdbLog_;
  uint64_t commandCount_ = 0;
  bool mediumChanged_ = false;
  int unitAttentions_ = 0;
  uint8_t unitAttentionAsc_ = 0x28;
  std::optional<SenseCode> failure_;
  std::optional<uint8_t> failureOpcode_;
  std::optional<uint32_t> shortTransfer_;
  bool vanished_ = false;
  bool timing_ = false;
  HeadPosition head_;  // where the timing model's head rests
  std::shared_ptr<SimulatedClock> clock_;
};

// Installs the handlers of the default command table (command_table.cpp) into `drive`.
void InstallStandardCommands(VirtualDrive& drive);

}  // namespace orv

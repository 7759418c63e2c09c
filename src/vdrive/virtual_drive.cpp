#include "vdrive/virtual_drive.h"

#include <algorithm>
#include <thread>

#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/timing.h"

namespace orv {

namespace {

constexpr size_t kCdbLogLength = 64;

VirtualDriveFace FaceOf(const DrivePreset& preset) {
  VirtualDriveFace face;
  face.driveType = preset.driveType;
  return face;
}

// Blocks addressed by a READ/WRITE/SEEK/VERIFY(10), for the timing model.
bool BlockRange(std::span<const uint8_t> cdb, uint64_t& lba, uint32_t& blocks) {
  if (cdb.size() < 10) return false;
  switch (cdb[0]) {
    case scsi_op::kRead10: case scsi_op::kWrite10: case scsi_op::kSeek10: case scsi_op::kVerify10:
      lba = GetBe32(cdb.data() + 2);
      blocks = cdb[0] == scsi_op::kSeek10 ? 0 : GetBe16(cdb.data() + 7);
      return true;
    default:
      return false;
  }
}

}  // namespace

VirtualDrive::VirtualDrive(const DrivePreset& preset, std::unique_ptr<Medium> medium)
    : preset_(preset), face_(FaceOf(preset)), medium_(std::move(medium)), handlers_(256), overrides_(256) {
  InstallStandardCommands(*this);
}

VirtualDrive::~VirtualDrive() = default;

CommandOutcome VirtualDrive::Execute(std::span<const uint8_t> cdb, DataDirection direction, uint8_t* buffer,
                                     uint32_t length) {
  int64_t delayUs = 0;
  std::shared_ptr<SimulatedClock> clock;
  CommandContext command;
  {
    std::lock_guard lock(mutex_);
    command.cdb = cdb;
    command.direction = direction;
    command.buffer = buffer;
    command.bufferLength = buffer == nullptr ? 0 : length;
    LogCdb(cdb);
    ++commandCount_;
    if (cdb.empty()) {
      command.Fail(kSenseInvalidOpcode);
      return command.outcome;
    }
    if (TakeInjectedFault(command)) return command.outcome;
    const uint8_t opcode = cdb[0];
    // A changed medium is reported once, to the first command that is not INQUIRY or
    // REQUEST SENSE (which never report a unit attention).
    if (mediumChanged_ && opcode != scsi_op::kInquiry && opcode != scsi_op::kRequestSense) {
      mediumChanged_ = false;
      command.Fail(kSenseMediumChanged);
      return command.outcome;
    }
    if (overrides_[opcode]) {
      command.SendData(*overrides_[opcode], command.bufferLength);
    } else if (!(hook_ && hook_(*this, command))) {
      if (handlers_[opcode])
        handlers_[opcode](*this, command);
      else
        command.Fail(kSenseInvalidOpcode);
    }
    uint64_t lba = 0;
    uint32_t blocks = 0;
    const bool ranged = medium_ && BlockRange(cdb, lba, blocks);
    double ms = 0;
    if (timing_) {
      ms = CommandDelayMs(preset_.timing, medium_ ? medium_->BlockCount() : 0, medium_ ? medium_->BlockLength() : 0,
                          head_, ranged && !command.Failed(), lba, blocks);
    }
    // A slow place costs its time whether the read then succeeds or not, timing model or none.
    if (ranged && opcode == scsi_op::kRead10) ms += medium_->ReadDelayMs(lba, blocks);
    delayUs = DelayMicroseconds(ms);
    clock = clock_;
  }
  // The time passes outside the lock, as it would while a real drive works on the command.
  if (clock) {
    clock->Advance(delayUs);
  } else if (delayUs > 0) {
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
  }
  return command.outcome;
}

bool VirtualDrive::TakeInjectedFault(CommandContext& command) {
  if (unitAttentions_ > 0) {
    --unitAttentions_;
    command.Fail(SenseCode{kSenseUnitAttention, unitAttentionAsc_, 0});
    return true;
  }
  if (failure_ && (!failureOpcode_ || *failureOpcode_ == command.Opcode())) {
    command.Fail(*failure_);
    failure_.reset();
    failureOpcode_.reset();
    return true;
  }
  if (shortTransfer_ && command.direction != DataDirection::kNone && command.bufferLength != 0) {
    // The handler sees a smaller buffer and moves what fits in it.
    command.bufferLength = std::min(command.bufferLength, *shortTransfer_);
    shortTransfer_.reset();
  }
  return false;
}

void VirtualDrive::LogCdb(std::span<const uint8_t> cdb) {
  cdbLog_.emplace_back(cdb.begin(), cdb.end());
  if (cdbLog_.size() > kCdbLogLength) cdbLog_.pop_front();
}

void VirtualDrive::SetHandler(uint8_t opcode, CommandHandler handler) {
  std::lock_guard lock(mutex_);
  handlers_[opcode] = std::move(handler);
}

void VirtualDrive::SetAnswerOverride(uint8_t opcode, std::vector<uint8_t> answer) {
  std::lock_guard lock(mutex_);
  overrides_[opcode] = std::move(answer);
}

void VirtualDrive::SetAnswerHook(std::function<bool(VirtualDrive&, CommandContext&)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void VirtualDrive::ClearAnswerOverrides() {
  std::lock_guard lock(mutex_);
  for (auto& o : overrides_) o.reset();
  hook_ = nullptr;
}

void VirtualDrive::ChangeMedium(std::unique_ptr<Medium> medium) {
  std::lock_guard lock(mutex_);
  medium_ = std::move(medium);
  mediumChanged_ = true;
}

std::filesystem::path VirtualDrive::ImagePath() const {
  std::lock_guard lock(mutex_);
  const std::filesystem::path* path = medium_ ? medium_->ImagePath() : nullptr;
  return path != nullptr ? *path : std::filesystem::path();
}

bool VirtualDrive::MediumSize(uint32_t& blockLength, uint64_t& blockCount) const {
  std::lock_guard lock(mutex_);
  if (!medium_) return false;
  blockLength = medium_->BlockLength();
  blockCount = medium_->BlockCount();
  return true;
}

std::vector<uint8_t> VirtualDrive::StandardInquiry() const {
  std::vector<uint8_t> d(96, 0);
  d[0] = preset_.peripheralType & 0x1F;
  d[1] = preset_.removable ? 0x80 : 0x00;
  d[2] = preset_.version;
  d[3] = preset_.responseFormat;
  d[4] = static_cast<uint8_t>(d.size() - 5);  // additional length
  auto put = [&d](size_t at, const char* text, size_t width) {
    for (size_t i = 0; i < width; ++i) d[at + i] = ' ';
    for (size_t i = 0; i < width && text[i] != 0; ++i) d[at + i] = static_cast<uint8_t>(text[i]);
  };
  put(8, preset_.vendor, 8);
  put(16, preset_.product, 16);
  put(32, preset_.revision, 4);
  return d;
}

void VirtualDrive::SetTimingEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  timing_ = enabled;
}

void VirtualDrive::SetSimulatedClock(std::shared_ptr<SimulatedClock> clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

bool VirtualDrive::TimingEnabled() const {
  std::lock_guard lock(mutex_);
  return timing_;
}

std::vector<std::vector<uint8_t>> VirtualDrive::LastCdbs() const {
  std::lock_guard lock(mutex_);
  return {cdbLog_.begin(), cdbLog_.end()};
}

std::vector<uint8_t> VirtualDrive::LastCdb() const {
  std::lock_guard lock(mutex_);
  return cdbLog_.empty() ? std::vector<uint8_t>{} : cdbLog_.back();
}

uint64_t VirtualDrive::CommandCount() const {
  std::lock_guard lock(mutex_);
  return commandCount_;
}

void VirtualDrive::ClearCommandLog() {
  std::lock_guard lock(mutex_);
  cdbLog_.clear();
  commandCount_ = 0;
}

void VirtualDrive::InjectUnitAttention(int times, uint8_t asc) {
  std::lock_guard lock(mutex_);
  unitAttentions_ = times;
  unitAttentionAsc_ = asc;
}

void VirtualDrive::InjectFailure(SenseCode sense, std::optional<uint8_t> opcode) {
  std::lock_guard lock(mutex_);
  failure_ = sense;
  failureOpcode_ = opcode;
}

void VirtualDrive::InjectShortTransfer(uint32_t bytes) {
  std::lock_guard lock(mutex_);
  shortTransfer_ = bytes;
}

void VirtualDrive::SetVanished(bool vanished) {
  std::lock_guard lock(mutex_);
  vanished_ = vanished;
}

bool VirtualDrive::Vanished() const {
  std::lock_guard lock(mutex_);
  return vanished_;
}

}  // namespace orv

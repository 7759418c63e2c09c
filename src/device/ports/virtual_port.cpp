#include "device/ports/virtual_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "device/ports/control_answers.h"
#include "device/ports/device_path.h"
#include "device/ports/pass_through_driver.h"
#include "scsi/status.h"
#include "toolkit/file_lock.h"

namespace orv {

struct VirtualPort::OpenEntry {
  PortHandle osHandle = kNoPortHandle;     // an OS path
  std::shared_ptr<VirtualDrive> drive;     // a virtual drive
  char letter = 0;
  uint8_t flags = 0;
  FileLock imageLock;  // the drive's image file, for as long as this handle is open
};

namespace {

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows sharing: a new open must be allowed by every open handle's share mode, and must
// itself allow what those handles already do.
bool SharingAllows(uint8_t existing, uint8_t wanted) {
  if ((wanted & kOpenRead) && !(existing & kOpenShareRead)) return false;
  if ((wanted & kOpenWrite) && !(existing & kOpenShareWrite)) return false;
  if ((existing & kOpenRead) && !(wanted & kOpenShareRead)) return false;
  if ((existing & kOpenWrite) && !(wanted & kOpenShareWrite)) return false;
  return true;
}

}  // namespace

VirtualPort::VirtualPort(std::unique_ptr<DevicePort> osPort) : os_(std::move(osPort)) {}

VirtualPort::~VirtualPort() {
  for (auto& [handle, entry] : open_)
    if (entry->osHandle != kNoPortHandle) os_->Close(entry->osHandle);
}

void VirtualPort::AddDrive(char letter, std::shared_ptr<VirtualDrive> drive) {
  drives_[UpperLetter(letter)] = std::move(drive);
}

std::shared_ptr<VirtualDrive> VirtualPort::Drive(char letter) const {
  auto it = drives_.find(UpperLetter(letter));
  return it == drives_.end() ? nullptr : it->second;
}

bool VirtualPort::Fail(PortError error) {
  lastError_ = os_->ErrorCode(error);
  return false;
}

PortHandle VirtualPort::Open(const char* path, uint8_t flags) {
  auto entry = std::make_unique<OpenEntry>();
  entry->flags = flags;
  std::shared_ptr<VirtualDrive> drive;
  if (path != nullptr && ClassifyDevicePath(path) == kPathDriveLetter) drive = Drive(path[4]);
  if (drive) {
    if (drive->Vanished()) return Fail(PortError::kFileNotFound), kNoPortHandle;
    for (const auto& [handle, other] : open_)
      if (other->drive == drive && !SharingAllows(other->flags, flags))
        return Fail(PortError::kSharingViolation), kNoPortHandle;
    // Other processes see this open through a lock on the image file: an open that lets others
    // write shares it, any other excludes them, as the system's sharing check does for a device.
    if (const std::filesystem::path image = drive->ImagePath(); !image.empty()) {
      uint32_t error = 0;
      switch (entry->imageLock.Take(image, !(flags & kOpenShareWrite), &error)) {
        case FileLockResult::kTaken: break;
        case FileLockResult::kHeld: return Fail(PortError::kSharingViolation), kNoPortHandle;
        case FileLockResult::kFailed: return lastError_ = error, kNoPortHandle;
      }
    }
    entry->drive = std::move(drive);
    entry->letter = UpperLetter(path[4]);
  } else {
    entry->osHandle = os_->Open(path, flags);
    if (entry->osHandle == kNoPortHandle) {
      lastError_ = os_->LastError();
      return kNoPortHandle;
    }
  }
  const PortHandle handle = nextHandle_++;
  open_[handle] = std::move(entry);
  return handle;
}

int VirtualPort::Close(PortHandle handle) {
  auto it = open_.find(handle);
  if (it == open_.end()) return Fail(PortError::kInvalidHandle), -1;
  int rc = 0;
  if (it->second->osHandle != kNoPortHandle) {
    rc = os_->Close(it->second->osHandle);
    if (rc != 0) lastError_ = os_->LastError();
  }
  open_.erase(it);
  return rc;
}

uint32_t VirtualPort::GetFileType(PortHandle handle) {
  auto it = open_.find(handle);
  if (it == open_.end()) return Fail(PortError::kInvalidHandle), kFileTypeUnknown;
  if (it->second->drive) return it->second->drive->Face().fileType;
  const uint32_t type = os_->GetFileType(it->second->osHandle);
  if (type == kFileTypeUnknown) lastError_ = os_->LastError();
  return type;
}

bool VirtualPort::IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                            uint32_t outLength, uint32_t* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  auto it = open_.find(handle);
  if (it == open_.end()) return Fail(PortError::kInvalidHandle);
  OpenEntry& entry = *it->second;
  if (entry.drive) return VirtualIoControl(entry, code, in, inLength, out, outLength, bytesReturned);
  const bool ok = os_->IoControl(entry.osHandle, code, in, inLength, out, outLength, bytesReturned);
  if (!ok) lastError_ = os_->LastError();
  return ok;
}

namespace {

// How a pass-through call fails: a condition of the port's own, or a system error code the drive
// gives (one recorded in a trace).
struct CallFailure {
  std::optional<PortError> error;
  uint32_t systemError = 0;
};

// What a port driver does with IOCTL_SCSI_PASS_THROUGH(_DIRECT), with the virtual drive as the
// target: the driver's check, the command, status, sense and the bytes moved put back. Returns
// nothing or how the call fails; `returned` counts the bytes of the system buffer given back.
std::optional<CallFailure> RunPassThrough(VirtualDrive& drive, bool direct, std::vector<uint8_t>& system,
                                          uint32_t inLength, uint32_t outLength, uint32_t& returned) {
  CheckedPassThrough checked;
  if (CheckPassThrough(system.data(), inLength, outLength, direct, drive.Face().alignmentMask, checked) != 0)
    return CallFailure{PortError::kInvalidParameter};
  const ScsiPassThroughHeader& h = checked.header;
  const CommandOutcome outcome = drive.Execute(std::span<const uint8_t>(h.cdb, h.cdbLength), checked.direction,
                                               checked.data, h.dataTransferLength);
  if (outcome.systemError) return CallFailure{std::nullopt, *outcome.systemError};
  // Autosense: the sense of a failed command goes back with it, as much as the caller has room for.
  const uint32_t sense =
      outcome.status == kScsiStatusGood ? 0 : std::min<uint32_t>(outcome.senseLength, h.senseInfoLength);
  if (sense != 0) std::memcpy(checked.sense, outcome.sense.data(), sense);
  returned = CompletePassThrough(system.data(), direct, outcome.status, outcome.transferred, sense);
  return std::nullopt;
}

std::optional<DriveControl> ControlOf(uint32_t code) {
  switch (code) {
    case kIoctlDiskGetDriveGeometry: return DriveControl::kGeometry;
    case kIoctlScsiGetAddress: return DriveControl::kAddress;
    case kIoctlScsiGetInquiryData: return DriveControl::kAdapterInquiry;
    default: return std::nullopt;
  }
}

}  // namespace

bool VirtualPort::VirtualIoControl(OpenEntry& entry, uint32_t code, const void* in, uint32_t inLength, void* out,
                                   uint32_t outLength, uint32_t* bytesReturned) {
  VirtualDrive& drive = *entry.drive;
  if (drive.Vanished()) return Fail(PortError::kDeviceGone);
  const VirtualDriveFace& face = drive.Face();
  auto* answer = static_cast<uint8_t*>(out);
  uint32_t returned = 0;
  if (std::optional<DriveControl> control = ControlOf(code); control && face.recordedControl) {
    if (std::optional<RecordedControl> recorded = face.recordedControl(*control)) {
      if (!recorded->ok) {
        lastError_ = recorded->systemError;
        return false;
      }
      if (recorded->answer.size() > outLength || (answer == nullptr && !recorded->answer.empty()))
        return Fail(PortError::kBufferTooSmall);
      if (!recorded->answer.empty()) std::memcpy(answer, recorded->answer.data(), recorded->answer.size());
      if (bytesReturned != nullptr) *bytesReturned = static_cast<uint32_t>(recorded->answer.size());
      return true;
    }
  }
  switch (code) {
    case kIoctlDiskGetDriveGeometry: {
      if (answer == nullptr || outLength < kDiskGeometrySize) return Fail(PortError::kBufferTooSmall);
      uint32_t blockLength = 0;
      uint64_t blockCount = 0;
      if (!drive.MediumSize(blockLength, blockCount)) return Fail(PortError::kNotReady);
      // The optical class driver's fixed shape: 64 tracks of 32 sectors per cylinder.
      DiskGeometry g;
      g.mediaType = drive.Preset().geometryMediaType;
      g.tracksPerCylinder = 64;
      g.sectorsPerTrack = 32;
      g.bytesPerSector = blockLength;
      g.cylinders = blockCount / (64 * 32);
      EncodeDiskGeometry(g, answer);
      returned = kDiskGeometrySize;
      break;
    }
    case kIoctlScsiGetAddress:
      if (!face.hasScsiAddress) return Fail(PortError::kInvalidFunction);
      if (answer == nullptr || outLength < kScsiAddressSize) return Fail(PortError::kBufferTooSmall);
      EncodeScsiAddress({face.portNumber, face.pathId, face.targetId, face.lun}, answer);
      returned = kScsiAddressSize;
      break;
    case kIoctlScsiGetInquiryData:
      if (face.adapterInquiry.empty()) return Fail(PortError::kInvalidFunction);
      if (answer == nullptr || outLength < face.adapterInquiry.size()) return Fail(PortError::kBufferTooSmall);
      std::memcpy(answer, face.adapterInquiry.data(), face.adapterInquiry.size());
      returned = static_cast<uint32_t>(face.adapterInquiry.size());
      break;
    case kIoctlScsiPassThrough:
    case kIoctlScsiPassThroughDirect: {
      if (in == nullptr || answer == nullptr || inLength < kRequestHeaderSize || outLength < kRequestHeaderSize)
        return Fail(PortError::kInvalidParameter);
      // The driver works on a system buffer: the input copied in, `returned` bytes copied out.
      std::vector<uint8_t> system(std::max(inLength, outLength), 0);
      std::memcpy(system.data(), in, inLength);
      if (auto failure = RunPassThrough(drive, code == kIoctlScsiPassThroughDirect, system, inLength, outLength,
                                        returned)) {
        if (failure->error) return Fail(*failure->error);
        lastError_ = failure->systemError;
        return false;
      }
      returned = std::min(returned, outLength);
      std::memcpy(answer, system.data(), returned);
      break;
    }
    default:
      return Fail(PortError::kInvalidFunction);
  }
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return true;
}

std::filesystem::path VirtualPort::BackingFile(const char* path) {
  const std::shared_ptr<VirtualDrive> drive =
      path != nullptr && ClassifyDevicePath(path) == kPathDriveLetter ? Drive(path[4]) : nullptr;
  return drive ? drive->ImagePath() : os_->BackingFile(path);
}

uint32_t VirtualPort::DriveType(const char* rootPath) {
  if (rootPath != nullptr && rootPath[0] != 0 && rootPath[1] == ':') {
    if (auto drive = Drive(rootPath[0])) return drive->Face().driveType;
  }
  return os_->DriveType(rootPath);
}

std::vector<DriveCandidate> VirtualPort::DriveCandidates() {
  std::vector<DriveCandidate> candidates;
  for (DriveCandidate& c : os_->DriveCandidates())
    if (!Drive(c.letter)) candidates.push_back(std::move(c));
  for (const auto& [letter, drive] : drives_) {
    char path[8];
    std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
    candidates.push_back({letter, path});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const DriveCandidate& a, const DriveCandidate& b) { return a.letter < b.letter; });
  return candidates;
}

}  // namespace orv

// The virtual port: paths of configured virtual drive letters ("\\.\E:") reach the virtual
// drives, every other path reaches the operating system's port. It reads pass-through requests
// exactly as a port driver does, so the whole DeviceHandle path runs against the emulator.
#pragma once

#include <map>
#include <memory>

#include "device/ports/device_port.h"
#include "vdrive/virtual_drive.h"

namespace orv {

class VirtualPort : public DevicePort {
 public:
  explicit VirtualPort(std::unique_ptr<DevicePort> osPort);
  ~VirtualPort() override;

  // Puts `drive` at `letter` ('A'-'Z'), replacing any earlier one there.
  void AddDrive(char letter, std::shared_ptr<VirtualDrive> drive);
  // The drive at `letter`, or null.
  std::shared_ptr<VirtualDrive> Drive(char letter) const;

  PortHandle Open(const char* path, uint8_t flags) override;
  int Close(PortHandle handle) override;
  uint32_t GetFileType(PortHandle handle) override;
  bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outLength, uint32_t* bytesReturned) override;
  uint32_t LastError() const override { return lastError_; }
  uint32_t ErrorCode(PortError error) const override { return os_->ErrorCode(error); }
  uint32_t DriveType(const char* rootPath) override;
  // The OS port's candidates, with the virtual letters in their place.
  std::vector<DriveCandidate> DriveCandidates() override;
  // A virtual drive's image file; the OS port's answer for any other path.
  std::filesystem::path BackingFile(const char* path) override;

 private:
  struct OpenEntry;
  bool Fail(PortError error);
  bool VirtualIoControl(OpenEntry& entry, uint32_t code, const void* in, uint32_t inLength, void* out,
                        uint32_t outLength, uint32_t* bytesReturned);

  std::unique_ptr<DevicePort> os_;
  std::map<char, std::shared_ptr<VirtualDrive>> drives_;
  std::map<PortHandle, std::unique_ptr<OpenEntry>> open_;
  PortHandle nextHandle_ = 1;
  uint32_t lastError_ = 0;
};

}  // namespace orv

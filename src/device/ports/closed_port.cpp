#include "device/ports/closed_port.h"

namespace orv {

namespace {

class ClosedPort : public DevicePort {
 public:
  explicit ClosedPort(std::unique_ptr<DevicePort> os) : os_(std::move(os)) {}

  PortHandle Open(const char*, uint8_t) override {
    lastError_ = os_->ErrorCode(PortError::kFileNotFound);
    return kNoPortHandle;
  }
  int Close(PortHandle) override {
    lastError_ = os_->ErrorCode(PortError::kInvalidHandle);
    return -1;
  }
  uint32_t GetFileType(PortHandle) override {
    lastError_ = os_->ErrorCode(PortError::kInvalidHandle);
    return kFileTypeUnknown;
  }
  bool IoControl(PortHandle, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t* bytesReturned) override {
    if (bytesReturned) *bytesReturned = 0;
    lastError_ = os_->ErrorCode(PortError::kInvalidHandle);
    return false;
  }
  uint32_t LastError() const override { return lastError_; }
  uint32_t ErrorCode(PortError error) const override { return os_->ErrorCode(error); }
  uint32_t DriveType(const char*) override { return kDriveNoRootDir; }
  std::vector<DriveCandidate> DriveCandidates() override { return {}; }

 private:
  std::unique_ptr<DevicePort> os_;
  uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<DevicePort> MakeClosedPort(std::unique_ptr<DevicePort> os) {
  return std::make_unique<ClosedPort>(std::move(os));
}

}  // namespace orv

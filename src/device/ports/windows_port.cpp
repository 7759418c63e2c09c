// The Windows port: CreateFileA, DeviceIoControl, GetFileType, GetDriveTypeA, FormatMessageA.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>

#include "device/ports/device_port.h"
#include "device/ports/pass_through.h"

namespace orv {

// The request the command set builds must be the driver's own structure, in either bitness.
static_assert(sizeof(ScsiPassThroughHeader) == sizeof(SCSI_PASS_THROUGH));
static_assert(sizeof(ScsiPassThroughHeader) == sizeof(SCSI_PASS_THROUGH_DIRECT));
static_assert(offsetof(ScsiPassThroughHeader, scsiStatus) == offsetof(SCSI_PASS_THROUGH, ScsiStatus));
static_assert(offsetof(ScsiPassThroughHeader, dataIn) == offsetof(SCSI_PASS_THROUGH, DataIn));
static_assert(offsetof(ScsiPassThroughHeader, dataTransferLength) ==
              offsetof(SCSI_PASS_THROUGH, DataTransferLength));
static_assert(offsetof(ScsiPassThroughHeader, timeOutValue) == offsetof(SCSI_PASS_THROUGH, TimeOutValue));
static_assert(offsetof(ScsiPassThroughHeader, dataBuffer) == offsetof(SCSI_PASS_THROUGH, DataBufferOffset));
static_assert(offsetof(ScsiPassThroughHeader, dataBuffer) == offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer));
static_assert(offsetof(ScsiPassThroughHeader, senseInfoOffset) == offsetof(SCSI_PASS_THROUGH, SenseInfoOffset));
static_assert(offsetof(ScsiPassThroughHeader, cdb) == offsetof(SCSI_PASS_THROUGH, Cdb));
static_assert(kIoctlScsiPassThrough == IOCTL_SCSI_PASS_THROUGH);
static_assert(kIoctlScsiPassThroughDirect == IOCTL_SCSI_PASS_THROUGH_DIRECT);
static_assert(kIoctlScsiGetAddress == IOCTL_SCSI_GET_ADDRESS);
static_assert(kIoctlScsiGetInquiryData == IOCTL_SCSI_GET_INQUIRY_DATA);
static_assert(kIoctlDiskGetDriveGeometry == IOCTL_DISK_GET_DRIVE_GEOMETRY);
static_assert(kDiskGeometrySize == sizeof(DISK_GEOMETRY));
static_assert(kScsiAddressSize == sizeof(SCSI_ADDRESS));

namespace {

class WindowsPort : public DevicePort {
 public:
  PortHandle Open(const char* path, uint8_t flags) override {
    DWORD access = 0;
    if (flags & kOpenRead) access |= GENERIC_READ;
    if (flags & kOpenWrite) access |= GENERIC_WRITE;
    DWORD share = 0;
    if (flags & kOpenShareRead) share |= FILE_SHARE_READ;
    if (flags & kOpenShareWrite) share |= FILE_SHARE_WRITE;
    HANDLE h = ::CreateFileA(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
      lastError_ = ::GetLastError();
      return kNoPortHandle;
    }
    return reinterpret_cast<PortHandle>(h);
  }

  int Close(PortHandle handle) override {
    if (!::CloseHandle(reinterpret_cast<HANDLE>(handle))) {
      lastError_ = ::GetLastError();
      return -1;
    }
    return 0;
  }

  uint32_t GetFileType(PortHandle handle) override {
    const DWORD type = ::GetFileType(reinterpret_cast<HANDLE>(handle));
    if (type == FILE_TYPE_UNKNOWN) lastError_ = ::GetLastError();
    return type;
  }

  bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outLength, uint32_t* bytesReturned) override {
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, const_cast<void*>(in), inLength, out,
                                      outLength, &returned, nullptr);
    if (!ok) lastError_ = ::GetLastError();
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return ok != FALSE;
  }

  uint32_t LastError() const override { return lastError_; }

  uint32_t ErrorCode(PortError error) const override {
    switch (error) {
      case PortError::kFileNotFound: return ERROR_FILE_NOT_FOUND;
      case PortError::kInvalidHandle: return ERROR_INVALID_HANDLE;
      case PortError::kInvalidParameter: return ERROR_INVALID_PARAMETER;
      case PortError::kInvalidFunction: return ERROR_INVALID_FUNCTION;
      case PortError::kNotReady: return ERROR_NOT_READY;
      case PortError::kSharingViolation: return ERROR_SHARING_VIOLATION;
      case PortError::kDeviceGone: return ERROR_DEVICE_NOT_CONNECTED;
      case PortError::kBufferTooSmall: return ERROR_INSUFFICIENT_BUFFER;
    }
    return ERROR_INVALID_PARAMETER;
  }

  uint32_t DriveType(const char* rootPath) override { return ::GetDriveTypeA(rootPath); }

  std::vector<DriveCandidate> DriveCandidates() override {
    std::vector<DriveCandidate> candidates;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      char path[8];
      std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
      candidates.push_back({letter, path});
    }
    return candidates;
  }

 private:
  uint32_t lastError_ = 0;
};

}  // namespace

const char* OsName() { return "windows"; }

std::unique_ptr<DevicePort> MakeOsPort() { return std::make_unique<WindowsPort>(); }

std::string OsErrorText(uint32_t code) {
  char* text = nullptr;
  // FORMAT_MESSAGE_ALLOCATE_BUFFER | FROM_SYSTEM | IGNORE_INSERTS (1300h), neutral language
  // with the user's default sublanguage (400h).
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result;
  if (length != 0 && text != nullptr) result.assign(text, length);
  if (text != nullptr) ::LocalFree(text);
  return result;
}

}  // namespace orv

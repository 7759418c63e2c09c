// The one seam between the device core and the operating system. `DeviceHandle` owns a port and
// reaches drives only through it; the build picks the Windows or the Linux port, and the virtual
// port puts the program's own emulated drives in front of either.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/ports/pass_through.h"

namespace orv {

// A handle issued by a port; kNoPortHandle stands for "none" and is never a valid handle.
using PortHandle = uintptr_t;
inline constexpr PortHandle kNoPortHandle = 0;

// Open access and sharing bits (the values of `OpenFlags`).
inline constexpr uint8_t kOpenRead = 0x01;
inline constexpr uint8_t kOpenWrite = 0x02;
inline constexpr uint8_t kOpenShareRead = 0x10;
inline constexpr uint8_t kOpenShareWrite = 0x20;

// GetFileType's answers.
inline constexpr uint32_t kFileTypeUnknown = 0;
inline constexpr uint32_t kFileTypeDisk = 1;
inline constexpr uint32_t kFileTypeChar = 2;
inline constexpr uint32_t kFileTypePipe = 3;
inline constexpr uint32_t kFileTypeInvalid = 0xFFFFFFFF;

// GetDriveTypeA's answers.
inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdrom = 5;
inline constexpr uint32_t kDriveRamDisk = 6;

// Conditions a port that is not the OS itself (the virtual port) has to report as a system
// error; each OS port says which of its own error codes means it, so SystemErrorText fits.
enum class PortError : uint8_t {
  kFileNotFound,      // no such device path
  kInvalidHandle,     // the handle is not open
  kInvalidParameter,  // a malformed request
  kInvalidFunction,   // a control code the device does not answer
  kNotReady,          // no medium
  kSharingViolation,  // the device is open with a sharing mode that excludes this open
  kDeviceGone,        // the device disappeared
  kBufferTooSmall,    // the output buffer cannot hold the answer
};

// One drive the scan should probe: its letter and the path that opens it.
struct DriveCandidate {
  char letter = 0;
  std::string path;
};

class DevicePort {
 public:
  virtual ~DevicePort() = default;

  // Opens a device path (CP932 text) with kOpen* bits. kNoPortHandle on failure, with the
  // reason in LastError().
  virtual PortHandle Open(const char* path, uint8_t flags) = 0;
  // 0, or -1 when the handle is not open.
  virtual int Close(PortHandle handle) = 0;
  // kFileType* of an open handle.
  virtual uint32_t GetFileType(PortHandle handle) = 0;
  // Synchronous device I/O control. Returns the system call's success; `bytesReturned` (may be
  // null) receives the bytes written to `out`. `in` and `out` may be the same buffer.
  virtual bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                         uint32_t outLength, uint32_t* bytesReturned) = 0;
  // The system error code of the last failed call on this port.
  virtual uint32_t LastError() const = 0;
  // The OS error code that means `error`.
  virtual uint32_t ErrorCode(PortError error) const = 0;
  // GetDriveTypeA's meaning for a root path such as "E:\".
  virtual uint32_t DriveType(const char* rootPath) = 0;
  // The drives a scan walks, in order.
  virtual std::vector<DriveCandidate> DriveCandidates() = 0;
  // The plain file that holds the disc behind a device path (a virtual drive's image file), so
  // that an operation can refuse to write that file as something else; empty when none.
  virtual std::filesystem::path BackingFile(const char* path) {
    (void)path;
    return {};
  }
};

// The operating system's own port (Windows or Linux, chosen by the build).
std::unique_ptr<DevicePort> MakeOsPort();

// The operating system of this build's port, as a trace names it: "windows" or "linux".
const char* OsName();

// The system text of an OS error code of this build's port; never fails, "" when the system
// has none.
std::string OsErrorText(uint32_t code);

}  // namespace orv

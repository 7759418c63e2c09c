// The one open drive. DeviceHandle opens a device path through its port, classifies the path and
// sends synchronous device I/O controls: disk geometry, SCSI address, adapter inquiry data and
// SCSI commands in both pass-through forms. The SCSI command set (scsi_commands.h) is built on
// PassThrough and PassThroughDirect.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/adapter_inquiry.h"
#include "device/ports/control_answers.h"
#include "device/ports/device_path.h"
#include "device/ports/device_port.h"
#include "device/ports/pass_through.h"
#include "scsi/outcome.h"

namespace orv {

// Open access and sharing bits: 0x01 read, 0x02 write, 0x10 share read, 0x20 share write.
using OpenFlags = uint8_t;
inline constexpr OpenFlags kOpenSharedReadWrite = 0x33;
inline constexpr OpenFlags kOpenExclusiveReadWrite = 0x03;

class DeviceHandle {
 public:
  // Talks to the operating system's port.
  DeviceHandle();
  // Talks through `port` (the virtual port, a test port).
  explicit DeviceHandle(std::unique_ptr<DevicePort> port);
  ~DeviceHandle();
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  // Replaces the port; -1 (and nothing changes) while a handle is open.
  int SetPort(std::unique_ptr<DevicePort> port);
  DevicePort& Port() { return *port_; }

  // 0, or -1 when a handle is already open (nothing changes) or the system open fails (the
  // path copy and kind are still updated; the cause is in LastError()).
  int Open(const char* path, OpenFlags flags);
  // 0; -1 when nothing is open.
  int Close();
  bool IsOpen() const { return handle_ != kNoPortHandle; }

  // The last path given to Open ("" before the first), kept across Close.
  const std::string& Path() const { return path_; }
  DevicePathKind Kind() const { return kind_; }
  // Seconds put into every pass-through request.
  uint32_t Timeout() const { return timeout_; }

  // The system file type of the open handle (1 = disk); kFileTypeInvalid when closed.
  uint32_t GetFileType();
  // -1 when nothing is open (no system call); otherwise 1 when the system call succeeded, 0
  // when it failed.
  int IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                uint32_t* bytesReturned);
  // 24 bytes of DISK_GEOMETRY into `out`; 0 or -1.
  int GetDriveGeometry(uint8_t* out);
  // 8 bytes of SCSI_ADDRESS into `out`, whose Length field is set to 8 first; 0 or -1.
  int GetScsiAddress(uint8_t* out);
  // The units behind the port, or null when the driver gives none.
  std::unique_ptr<AdapterInquiry> GetInquiryData();
  // The buffered form: bytes returned by the driver, or -1 when the system call fails.
  int PassThrough(PassThroughRequest& request, uint32_t inLength, uint32_t outLength);
  // The direct form: the header's dataBuffer holds the caller's buffer address.
  int PassThroughDirect(PassThroughRequest& request, uint32_t inLength, uint32_t outLength);

  // The category of the last SCSI command the command set sent through this handle (its last
  // attempt when it was reissued); kGood before the first. Set by the command set only.
  ScsiOutcome LastOutcome() const { return lastOutcome_; }
  void NoteOutcome(ScsiOutcome outcome) { lastOutcome_ = outcome; }

  // The system error code of the last failed call (GetLastError's value on Windows, errno's
  // on Linux), for SystemErrorText.
  uint32_t LastError() const { return port_->LastError(); }
  // GetDriveTypeA of a root path such as "E:\".
  uint32_t DriveType(const char* rootPath) { return port_->DriveType(rootPath); }
  // The drives a scan walks.
  std::vector<DriveCandidate> DriveCandidates() { return port_->DriveCandidates(); }

 private:
  std::string path_;
  PortHandle handle_ = kNoPortHandle;
  DevicePathKind kind_ = kPathOther;
  uint32_t timeout_ = 10;
  ScsiOutcome lastOutcome_ = ScsiOutcome::kGood;
  std::unique_ptr<DevicePort> port_;
};

// The English name of a DISK_GEOMETRY media type.
const char* MediaTypeName(uint32_t mediaType);
// The system's text for an error code of this build's OS; "" when it has none.
std::string SystemErrorText(uint32_t code);

}  // namespace orv

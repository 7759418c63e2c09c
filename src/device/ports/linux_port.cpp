// The Linux port: device paths are opened with open(2) and SCSI commands go through SG_IO.
// Drive-letter paths ("\\.\E:") reach the block device the candidate list gives that letter.
#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/ports/control_answers.h"
#include "device/ports/device_path.h"
#include "device/ports/device_port.h"
#include "device/ports/linux_drives.h"
#include "device/ports/linux_sg.h"

namespace orv {

namespace {

constexpr const char* kSysBlock = "/sys/block";

class LinuxPort : public DevicePort {
 public:
  PortHandle Open(const char* path, uint8_t flags) override {
    const std::string device = DevicePathOf(path);
    if (device.empty()) return Fail(ENOENT), kNoPortHandle;
    int mode = O_RDONLY;
    if ((flags & kOpenRead) && (flags & kOpenWrite)) mode = O_RDWR;
    else if (flags & kOpenWrite) mode = O_WRONLY;
    // O_NONBLOCK: an optical drive without a disc still opens. Without sharing, ask for the
    // device exclusively, as the nearest thing to a Windows share mode of 0.
    int extra = O_NONBLOCK | O_CLOEXEC;
    if ((flags & (kOpenShareRead | kOpenShareWrite)) == 0) extra |= O_EXCL;
    const int fd = ::open(device.c_str(), mode | extra);
    if (fd < 0) return Fail(errno), kNoPortHandle;
    return static_cast<PortHandle>(fd) + 1;
  }

  int Close(PortHandle handle) override {
    if (handle == kNoPortHandle) return -1;
    return ::close(Fd(handle)) == 0 ? 0 : (Fail(errno), -1);
  }

  uint32_t GetFileType(PortHandle handle) override {
    struct stat st {};
    if (::fstat(Fd(handle), &st) != 0) return Fail(errno), kFileTypeUnknown;
    if (S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISREG(st.st_mode)) return kFileTypeDisk;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return kFileTypePipe;
    return kFileTypeUnknown;
  }

  bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outLength, uint32_t* bytesReturned) override {
    uint32_t returned = 0;
    const int err = Dispatch(Fd(handle), code, in, inLength, out, outLength, returned);
    if (bytesReturned != nullptr) *bytesReturned = err == 0 ? returned : 0;
    if (err != 0) return Fail(err);
    return true;
  }

  uint32_t LastError() const override { return lastError_; }

  uint32_t ErrorCode(PortError error) const override {
    switch (error) {
      case PortError::kFileNotFound: return ENOENT;
      case PortError::kInvalidHandle: return EBADF;
      case PortError::kInvalidParameter: return EINVAL;
      case PortError::kInvalidFunction: return ENOTTY;
      case PortError::kNotReady: return ENOMEDIUM;
      case PortError::kSharingViolation: return EBUSY;
      case PortError::kDeviceGone: return ENODEV;
      case PortError::kBufferTooSmall: return EOVERFLOW;
    }
    return EINVAL;
  }

  uint32_t DriveType(const char* rootPath) override {
    // "E:\" names the drive of letter E.
    if (rootPath == nullptr || rootPath[0] == 0 || rootPath[1] != ':') return kDriveNoRootDir;
    const char letter = static_cast<char>(rootPath[0] & ~0x20);
    for (const LinuxDrive& drive : ListLinuxDrives(kSysBlock))
      if (drive.letter == letter) return LinuxDriveType(kSysBlock, drive.name);
    return kDriveNoRootDir;
  }

  std::vector<DriveCandidate> DriveCandidates() override {
    std::vector<DriveCandidate> candidates;
    for (const LinuxDrive& drive : ListLinuxDrives(kSysBlock)) candidates.push_back({drive.letter, drive.path});
    return candidates;
  }

 private:
  static int Fd(PortHandle handle) { return static_cast<int>(handle - 1); }

  bool Fail(int err) {
    lastError_ = static_cast<uint32_t>(err);
    return false;
  }

  // "\\.\E:" becomes the device of letter E; any other path is a Linux path already.
  static std::string DevicePathOf(const char* path) {
    if (path == nullptr) return {};
    if (ClassifyDevicePath(path) == kPathDriveLetter) {
      const char letter = static_cast<char>(path[4] & ~0x20);
      for (const LinuxDrive& drive : ListLinuxDrives(kSysBlock))
        if (drive.letter == letter) return drive.path;
      return {};
    }
    return path;
  }

  static int Dispatch(int fd, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                      uint32_t& returned) {
    switch (code) {
      case kIoctlScsiPassThrough:
      case kIoctlScsiPassThroughDirect:
        return PassThrough(fd, code == kIoctlScsiPassThroughDirect, in, inLength, out, outLength, returned);
      case kIoctlDiskGetDriveGeometry:
        return Geometry(fd, out, outLength, returned);
      case kIoctlScsiGetAddress:
        return Address(fd, out, outLength, returned);
      default:
        // No adapter inquiry data here: the scan falls back to INQUIRY.
        return ENOTTY;
    }
  }

  static int PassThrough(int fd, bool direct, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                         uint32_t& returned) {
    if (in == nullptr || out == nullptr) return EINVAL;
    // Like the Windows driver, work on a system buffer holding the input and room for the
    // output, and give back only the bytes the answer fills.
    std::vector<uint8_t> system(inLength > outLength ? inLength : outLength, 0);
    std::memcpy(system.data(), in, inLength);
    sg_io_hdr_t io;
    if (const int err = BuildSgIo(system.data(), inLength, outLength, direct, io); err != 0) return err;
    if (::ioctl(fd, SG_IO, &io) != 0) return errno;
    if (const int err = CompleteSgIo(io, system.data(), direct, returned); err != 0) return err;
    if (returned > outLength) returned = outLength;
    std::memcpy(out, system.data(), returned);
    return 0;
  }

  static int Geometry(int fd, void* out, uint32_t outLength, uint32_t& returned) {
    if (out == nullptr || outLength < kDiskGeometrySize) return EOVERFLOW;
    uint64_t bytes = 0;
    int sectorSize = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return errno;
    if (::ioctl(fd, BLKSSZGET, &sectorSize) != 0) return errno;
    // An optical drive without a disc has no size; Windows answers "not ready" then.
    if (bytes == 0 || sectorSize <= 0) return ENOMEDIUM;
    struct stat st {};
    DiskGeometry g;
    g.tracksPerCylinder = 255;
    g.sectorsPerTrack = 63;
    g.bytesPerSector = static_cast<uint32_t>(sectorSize);
    g.cylinders = bytes / (uint64_t{g.tracksPerCylinder} * g.sectorsPerTrack * g.bytesPerSector);
    g.mediaType = 12;  // fixed
    if (::fstat(fd, &st) == 0) {
      char link[64];
      std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u/removable", major(st.st_rdev), minor(st.st_rdev));
      if (FILE* f = std::fopen(link, "r")) {
        if (std::fgetc(f) == '1') g.mediaType = 11;  // removable
        std::fclose(f);
      }
    }
    EncodeDiskGeometry(g, static_cast<uint8_t*>(out));
    returned = kDiskGeometrySize;
    return 0;
  }

  static int Address(int fd, void* out, uint32_t outLength, uint32_t& returned) {
    if (out == nullptr || outLength < kScsiAddressSize) return EOVERFLOW;
    // SCSI_IOCTL_GET_IDLUN: target in bits 7-0, LUN 15-8, channel 23-16, host 31-24.
    struct {
      int idLun;
      int hostUniqueId;
    } idlun{};
    int bus = 0;
    if (::ioctl(fd, SCSI_IOCTL_GET_IDLUN, &idlun) != 0) return errno;
    if (::ioctl(fd, SCSI_IOCTL_GET_BUS_NUMBER, &bus) != 0) return errno;
    const ScsiAddress address{static_cast<uint8_t>(bus), static_cast<uint8_t>(idlun.idLun >> 16),
                              static_cast<uint8_t>(idlun.idLun), static_cast<uint8_t>(idlun.idLun >> 8)};
    EncodeScsiAddress(address, static_cast<uint8_t*>(out));
    returned = kScsiAddressSize;
    return 0;
  }

  uint32_t lastError_ = 0;
};

}  // namespace

const char* OsName() { return "linux"; }

std::unique_ptr<DevicePort> MakeOsPort() { return std::make_unique<LinuxPort>(); }

std::string OsErrorText(uint32_t code) {
  char text[256] = {};
  // The GNU strerror_r may return a static string instead of filling the buffer.
  const char* message = strerror_r(static_cast<int>(code), text, sizeof text);
  return message != nullptr ? std::string(message) : std::string();
}

}  // namespace orv

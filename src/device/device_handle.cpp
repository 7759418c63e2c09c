#include "device/device_handle.h"

#include "toolkit/endian.h"

namespace orv {

DeviceHandle::DeviceHandle() : port_(MakeOsPort()) {}

DeviceHandle::DeviceHandle(std::unique_ptr<DevicePort> port) : port_(std::move(port)) {}

DeviceHandle::~DeviceHandle() {
  if (IsOpen()) Close();
}

int DeviceHandle::SetPort(std::unique_ptr<DevicePort> port) {
  if (IsOpen() || port == nullptr) return -1;
  port_ = std::move(port);
  return 0;
}

int DeviceHandle::Open(const char* path, OpenFlags flags) {
  if (IsOpen() || path == nullptr) return -1;
  path_ = path;
  kind_ = ClassifyDevicePath(path);
  const PortHandle handle = port_->Open(path, flags);
  if (handle == kNoPortHandle) return -1;
  handle_ = handle;
  return 0;
}

int DeviceHandle::Close() {
  if (!IsOpen()) return -1;
  port_->Close(handle_);
  handle_ = kNoPortHandle;
  return 0;
}

uint32_t DeviceHandle::GetFileType() {
  if (!IsOpen()) return kFileTypeInvalid;
  return port_->GetFileType(handle_);
}

int DeviceHandle::IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                            uint32_t* bytesReturned) {
  if (!IsOpen()) return -1;
  uint32_t returned = 0;
  const bool ok = port_->IoControl(handle_, code, in, inLength, out, outLength, &returned);
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return ok ? 1 : 0;
}

int DeviceHandle::GetDriveGeometry(uint8_t* out) {
  return IoControl(kIoctlDiskGetDriveGeometry, nullptr, 0, out, kDiskGeometrySize, nullptr) == 1 ? 0 : -1;
}

int DeviceHandle::GetScsiAddress(uint8_t* out) {
  PutLe32(out, kScsiAddressSize);
  return IoControl(kIoctlScsiGetAddress, nullptr, 0, out, kScsiAddressSize, nullptr) == 1 ? 0 : -1;
}

std::unique_ptr<AdapterInquiry> DeviceHandle::GetInquiryData() {
  std::vector<uint8_t> answer(kAdapterInquirySize, 0);
  uint32_t returned = 0;
  if (IoControl(kIoctlScsiGetInquiryData, nullptr, 0, answer.data(), kAdapterInquirySize, &returned) != 1 ||
      returned == 0)
    return nullptr;
  // Only what the driver says it wrote is parsed.
  if (returned > kAdapterInquirySize) returned = kAdapterInquirySize;
  return ParseAdapterInquiry(std::span<const uint8_t>(answer.data(), returned));
}

int DeviceHandle::PassThrough(PassThroughRequest& request, uint32_t inLength, uint32_t outLength) {
  uint32_t returned = 0;
  if (IoControl(kIoctlScsiPassThrough, &request, inLength, &request, outLength, &returned) != 1) return -1;
  return static_cast<int>(returned);
}

int DeviceHandle::PassThroughDirect(PassThroughRequest& request, uint32_t inLength, uint32_t outLength) {
  uint32_t returned = 0;
  if (IoControl(kIoctlScsiPassThroughDirect, &request, inLength, &request, outLength, &returned) != 1) return -1;
  return static_cast<int>(returned);
}

const char* MediaTypeName(uint32_t mediaType) {
  switch (mediaType) {
    case 1: case 6: case 7: case 8: case 9: case 10: case 15: case 16: case 19:
      return "5.25 floppy";
    case 2: case 3: case 4: case 5: case 13: case 14: case 17: case 18: case 20: case 21: case 23: case 24:
    case 25:
      return "3.5 floppy";
    case 11:
      return "Removable";
    case 12:
      return "Fixed";
    case 22:
      return "8 floppy";
    default:
      return "Unknown";
  }
}

std::string SystemErrorText(uint32_t code) { return OsErrorText(code); }

}  // namespace orv

// The SCSI command set: one function per command (SPC INQUIRY, TEST UNIT READY, MODE SENSE;
// SBC READ CAPACITY, READ/WRITE/SEEK/VERIFY(10); MMC GET CONFIGURATION, READ DVD STRUCTURE).
// Each builds its CDB for the unit at `unit`, sends it through the handle's pass-through,
// classifies the answer (scsi/outcome.h), reissues it on a unit attention, and reduces the
// outcome to one integer: -1 on failure, 0 or the bytes moved on success. Sense data never
// leaves this layer; the category of the last command is the handle's LastOutcome().
#pragma once

#include <cstdint>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"
#include "device/unit_address.h"

namespace orv {

// A unit attention (ScsiOutcome::kUnitAttention: additional sense code 23h or 28h) makes the
// command go out again, at most this many times; a drive that keeps answering so then fails
// the command.
inline constexpr int kMaxUnitAttentionReissues = 10;

// Lengths the command set uses.
inline constexpr uint8_t kInquiryUnitLength = 40;
inline constexpr uint32_t kReadCapacityLength = 8;

// Standard data (pageCode < 0) or the EVPD page `pageCode`; allocationLength bytes (at most
// 255, and never more than the request's data area) are copied to `out` on success only.
int Inquiry(DeviceHandle& device, UnitAddress unit, int pageCode, uint32_t allocationLength, uint8_t* out);
int TestUnitReady(DeviceHandle& device, UnitAddress unit);
// MODE SENSE(6) below 256 bytes, MODE SENSE(10) from 256; the drive writes into `out`.
int ModeSense(DeviceHandle& device, UnitAddress unit, bool disableBlockDescriptors, uint8_t pageControl,
              uint8_t pageCode, uint32_t allocationLength, uint8_t* out);
// On success bytes 0-3 of `out` hold the block count (last LBA + 1, low 32 bits), bytes 4-7
// the block length, both big-endian; `length` (at most 8 is useful) bytes are copied.
int ReadCapacity(DeviceHandle& device, UnitAddress unit, uint32_t length, uint8_t* out);
// READ(10)/WRITE(10): the bytes actually moved, or -1. An LBA beyond 32 bits or a block count
// beyond 16 bits is refused (-1, nothing sent).
int Read10(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t blockCount, uint32_t byteCount,
           uint8_t* buffer);
int Write10(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t blockCount, uint32_t byteCount,
            const uint8_t* buffer);
int Seek10(DeviceHandle& device, UnitAddress unit, uint64_t lba);
int Verify10(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t blockCount);
// `moved`, when given, receives the bytes the drive returned: a feature list may end before the
// length its header claims.
int GetConfiguration(DeviceHandle& device, UnitAddress unit, uint8_t requestedType, uint16_t startingFeature,
                     uint32_t allocationLength, uint8_t* out, uint32_t* moved = nullptr);
// The current profile of GET CONFIGURATION's feature header (the medium in the drive); 0 when
// the drive gives none.
uint16_t CurrentProfile(DeviceHandle& device, UnitAddress unit);
int ReadDvdStructure(DeviceHandle& device, UnitAddress unit, uint32_t address, uint8_t formatCode,
                     uint8_t layerNumber, uint32_t allocationLength, uint8_t* out);
// Standard INQUIRY of 40 bytes into `unit`: the address, claimed 0, a fresh copy of the data.
// The unit is untouched when the command fails.
int InquiryUnit(DeviceHandle& device, UnitAddress address, ScsiUnit& unit);

// A buffer aligned to a memory page: adapters require direct-form data buffers to be aligned,
// and every direct command passes its data through one when the caller's buffer is not.
class PageBuffer {
 public:
  static constexpr size_t kAlignment = 4096;
  explicit PageBuffer(size_t size);
  ~PageBuffer();
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace orv

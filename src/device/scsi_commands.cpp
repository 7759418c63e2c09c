#include "device/scsi_commands.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

#include "scsi/opcodes.h"
#include "scsi/outcome.h"
#include "toolkit/endian.h"

namespace orv {

namespace {

// One command as the cycle sends it.
struct Command {
  uint8_t cdb[16] = {};
  uint8_t cdbLength = 0;
  bool dataOut = false;           // WRITE(10) only; every other command carries DataIn 1
  bool direct = false;
  uint32_t transferLength = 0;    // DataTransferLength
  uint32_t outLength = 0;         // buffered form: bytes of output asked of the driver
  uint8_t* directBuffer = nullptr;
};

// The SCSI-2 convention: the LUN in bits 7-5 of CDB byte 1.
uint8_t LunBits(uint8_t lun) { return static_cast<uint8_t>((lun & 7) << 5); }

void FillRequest(PassThroughRequest& request, const DeviceHandle& device, UnitAddress unit, const Command& command) {
  std::memset(&request.header, 0, sizeof request.header);
  ScsiPassThroughHeader& h = request.header;
  h.length = static_cast<uint16_t>(kRequestHeaderSize);
  h.pathId = unit.pathId;
  h.targetId = unit.targetId;
  h.lun = unit.lun;
  h.cdbLength = command.cdbLength;
  h.senseInfoLength = kRequestSenseLength;
  h.dataIn = command.dataOut ? kScsiDataOut : kScsiDataIn;
  h.dataTransferLength = command.transferLength;
  h.timeOutValue = device.Timeout();
  h.dataBuffer = command.direct ? reinterpret_cast<uintptr_t>(command.directBuffer) : kRequestDataOffset;
  h.senseInfoOffset = kRequestSenseOffset;
  std::memcpy(h.cdb, command.cdb, sizeof h.cdb);
  // Sense left over from an earlier attempt must not look like this attempt's answer.
  std::memset(request.sense, 0, sizeof request.sense);
}

// Sends `command` until it is answered with something other than a unit attention (at most
// kMaxUnitAttentionReissues more times): a unit attention was not carried out and goes out
// again unchanged. 0 on GOOD, -1 otherwise; the handle keeps the last attempt's category.
int RunCycle(DeviceHandle& device, UnitAddress unit, const Command& command, PassThroughRequest& request) {
  for (int attempt = 0; attempt <= kMaxUnitAttentionReissues; ++attempt) {
    FillRequest(request, device, unit, command);
    const int returned = command.direct
                             ? device.PassThroughDirect(request, kRequestHeaderSize, kRequestDataOffset)
                             : device.PassThrough(request, kRequestHeaderSize, command.outLength);
    // The whole sense area counts: it was cleared before the attempt, and the additional
    // length the drive states says how much of it the drive filled.
    const ScsiOutcome outcome = ClassifyOutcome(returned >= 0, request.header.scsiStatus, request.sense);
    device.NoteOutcome(outcome);
    if (outcome == ScsiOutcome::kGood) return 0;
    if (outcome != ScsiOutcome::kUnitAttention) return -1;
  }
  return -1;
}

// A buffered command whose answer comes back in the request's data area.
int RunBuffered(DeviceHandle& device, UnitAddress unit, Command& command, PassThroughRequest& request) {
  command.direct = false;
  command.outLength = kRequestDataOffset + command.transferLength;
  return RunCycle(device, unit, command, request);
}

// A direct command on `buffer`; adapters need an aligned data buffer, so an unaligned one is
// carried through a page-aligned copy. `moved` receives DataTransferLength after the call.
int RunDirect(DeviceHandle& device, UnitAddress unit, Command& command, uint8_t* buffer, uint32_t& moved) {
  PassThroughRequest request{};
  std::optional<PageBuffer> bounce;
  uint8_t* target = buffer;
  if (command.transferLength != 0 && reinterpret_cast<uintptr_t>(buffer) % PageBuffer::kAlignment != 0) {
    try {
      bounce.emplace(command.transferLength);
    } catch (const std::bad_alloc&) {
      return -1;
    }
    if (command.dataOut) std::memcpy(bounce->data(), buffer, command.transferLength);
    target = bounce->data();
  }
  command.direct = true;
  command.directBuffer = target;
  const int rc = RunCycle(device, unit, command, request);
  moved = request.header.dataTransferLength;
  if (moved > command.transferLength) moved = command.transferLength;
  if (rc == 0 && bounce && !command.dataOut) std::memcpy(buffer, bounce->data(), moved);
  return rc;
}

bool FitsCdb10(uint64_t lba, uint32_t blockCount) { return lba <= 0xFFFFFFFFull && blockCount <= 0xFFFF; }

}  // namespace

PageBuffer::PageBuffer(size_t size) : size_(size) {
  const size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
  data_ = static_cast<uint8_t*>(::operator new(rounded == 0 ? kAlignment : rounded, std::align_val_t{kAlignment}));
}

PageBuffer::~PageBuffer() { ::operator delete(data_, std::align_val_t{kAlignment}); }

int Inquiry(DeviceHandle& device, UnitAddress unit, int pageCode, uint32_t allocationLength, uint8_t* out) {
  if (allocationLength > 255 || allocationLength > kRequestDataSize || pageCode > 255) return -1;
  Command c;
  c.cdb[0] = scsi_op::kInquiry;
  c.cdb[1] = LunBits(unit.lun);
  if (pageCode >= 0) {
    c.cdb[1] |= 0x01;  // EVPD
    c.cdb[2] = static_cast<uint8_t>(pageCode);
  }
  c.cdb[4] = static_cast<uint8_t>(allocationLength);
  c.cdbLength = 6;
  c.transferLength = allocationLength;
  PassThroughRequest request{};
  if (RunBuffered(device, unit, c, request) != 0) return -1;
  std::memcpy(out, request.data, allocationLength);
  return 0;
}

int TestUnitReady(DeviceHandle& device, UnitAddress unit) {
  Command c;
  c.cdb[0] = scsi_op::kTestUnitReady;
  c.cdb[1] = LunBits(unit.lun);
  c.cdbLength = 6;
  PassThroughRequest request{};
  return RunBuffered(device, unit, c, request);
}

int ModeSense(DeviceHandle& device, UnitAddress unit, bool disableBlockDescriptors,
              uint8_t pageControl, uint8_t pageCode, uint32_t allocationLength, uint8_t* out) {
  if (allocationLength > 0xFFFF) return -1;
  Command c;
  const bool sixByte = allocationLength < 256;
  c.cdb[0] = sixByte ? scsi_op::kModeSense6 : scsi_op::kModeSense10;
  c.cdb[1] = static_cast<uint8_t>(LunBits(unit.lun) | (disableBlockDescriptors ? 0x08 : 0));
  c.cdb[2] = static_cast<uint8_t>((pageControl & 3) << 6 | (pageCode & 0x3F));
  if (sixByte) {
    c.cdb[4] = static_cast<uint8_t>(allocationLength);
    c.cdbLength = 6;
  } else {
    PutBe16(c.cdb + 7, static_cast<uint16_t>(allocationLength));
    c.cdbLength = 10;
  }
  c.transferLength = allocationLength;
  uint32_t moved = 0;
  return RunDirect(device, unit, c, out, moved);
}

int ReadCapacity(DeviceHandle& device, UnitAddress unit, uint32_t length, uint8_t* out) {
  if (length > kRequestDataSize) return -1;
  Command c;
  c.cdb[0] = scsi_op::kReadCapacity;
  c.cdb[1] = LunBits(unit.lun);
  c.cdbLength = 10;
  c.transferLength = length;
  PassThroughRequest request{};
  if (RunBuffered(device, unit, c, request) != 0) return -1;
  // The drive answers the last LBA; callers want the block count. FFFFFFFFh (a medium too large
  // for this command) wraps to 0 as 32-bit arithmetic does.
  PutBe32(request.data, GetBe32(request.data) + 1u);
  std::memcpy(out, request.data, length);
  return 0;
}

int Read10(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t blockCount,
           uint32_t byteCount, uint8_t* buffer) {
  // Sending only the low bits of a wider address would read other sectors than asked.
  if (!FitsCdb10(lba, blockCount) || byteCount > INT_MAX) return -1;
  Command c;
  c.cdb[0] = scsi_op::kRead10;
  c.cdb[1] = LunBits(unit.lun);
  PutBe32(c.cdb + 2, static_cast<uint32_t>(lba));
  PutBe16(c.cdb + 7, static_cast<uint16_t>(blockCount));
  c.cdbLength = 10;
  c.transferLength = byteCount;
  uint32_t moved = 0;
  if (RunDirect(device, unit, c, buffer, moved) != 0) return -1;
  return static_cast<int>(moved);
}

int Write10(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t blockCount,
            uint32_t byteCount, const uint8_t* buffer) {
  // Writing with the low bits of a wider address would destroy other sectors than asked.
  if (!FitsCdb10(lba, blockCount) || byteCount > INT_MAX) return -1;
  Command c;
  c.cdb[0] = scsi_op::kWrite10;
  c.cdb[1] = LunBits(unit.lun);
  PutBe32(c.cdb + 2, static_cast<uint32_t>(lba));
  PutBe16(c.cdb + 7, static_cast<uint16_t>(blockCount));
  c.cdbLength = 10;
  c.dataOut = true;
  c.transferLength = byteCount;
  uint32_t moved = 0;
  // The driver only reads from a data-out buffer.
  if (RunDirect(device, unit, c, const_cast<uint8_t*>(buffer), moved) != 0) return -1;
  return static_cast<int>(moved);
}

int Seek10(DeviceHandle& device, UnitAddress unit, uint64_t lba) {
  if (!FitsCdb10(lba, 0)) return -1;
  Command c;
  c.cdb[0] = scsi_op::kSeek10;
  c.cdb[1] = LunBits(unit.lun);
  PutBe32(c.cdb + 2, static_cast<uint32_t>(lba));
  c.cdbLength = 10;
  PassThroughRequest request{};
  return RunBuffered(device, unit, c, request);
}

int Verify10(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t blockCount) {
  if (!FitsCdb10(lba, blockCount)) return -1;
  Command c;
  c.cdb[0] = scsi_op::kVerify10;
  c.cdb[1] = LunBits(unit.lun);  // BYTCHK 0: the drive checks the medium, no data moves
  PutBe32(c.cdb + 2, static_cast<uint32_t>(lba));
  PutBe16(c.cdb + 7, static_cast<uint16_t>(blockCount));
  c.cdbLength = 10;
  PassThroughRequest request{};
  c.direct = false;
  // VERIFY asks for the whole request back, header, sense and data area.
  c.outLength = kRequestSize;
  return RunCycle(device, unit, c, request);
}

int GetConfiguration(DeviceHandle& device, UnitAddress unit, uint8_t requestedType,
                     uint16_t startingFeature, uint32_t allocationLength, uint8_t* out, uint32_t* movedOut) {
  if (allocationLength > 0xFFFF) return -1;
  Command c;
  c.cdb[0] = scsi_op::kGetConfiguration;
  c.cdb[1] = static_cast<uint8_t>(LunBits(unit.lun) | (requestedType & 3));
  PutBe16(c.cdb + 2, startingFeature);
  PutBe16(c.cdb + 7, static_cast<uint16_t>(allocationLength));
  c.cdbLength = 10;
  c.transferLength = allocationLength;
  uint32_t moved = 0;
  const int rc = RunDirect(device, unit, c, out, moved);
  if (movedOut != nullptr) *movedOut = moved;
  return rc;
}

uint16_t CurrentProfile(DeviceHandle& device, UnitAddress unit) {
  uint8_t header[8] = {};
  uint32_t moved = 0;
  // Requested type 1 with starting feature 0: the header and the profile list only.
  if (GetConfiguration(device, unit, 1, 0, sizeof header, header, &moved) < 0 || moved < sizeof header) return 0;
  return GetBe16(header + 6);
}

int ReadDvdStructure(DeviceHandle& device, UnitAddress unit, uint32_t address,
                     uint8_t formatCode, uint8_t layerNumber, uint32_t allocationLength, uint8_t* out) {
  if (allocationLength > 0xFFFF) return -1;
  Command c;
  c.cdb[0] = scsi_op::kReadDvdStructure;
  c.cdb[1] = LunBits(unit.lun);
  PutBe32(c.cdb + 2, address);
  c.cdb[6] = layerNumber;
  c.cdb[7] = formatCode;
  PutBe16(c.cdb + 8, static_cast<uint16_t>(allocationLength));
  c.cdb[10] = 0;  // AGID 0
  c.cdbLength = 12;
  c.transferLength = allocationLength;
  uint32_t moved = 0;
  return RunDirect(device, unit, c, out, moved);
}

int InquiryUnit(DeviceHandle& device, UnitAddress address, ScsiUnit& unit) {
  uint8_t data[kInquiryUnitLength];
  if (Inquiry(device, address, -1, kInquiryUnitLength, data) != 0) return -1;
  unit.pathId = address.pathId;
  unit.targetId = address.targetId;
  unit.lun = address.lun;
  unit.claimed = 0;
  try {
    unit.inquiryData.assign(data, data + kInquiryUnitLength);
  } catch (const std::bad_alloc&) {
    unit.inquiryData.clear();
    return -1;
  }
  return 0;
}

}  // namespace orv

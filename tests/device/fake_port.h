// A scripted port: records every call and answers pass-through requests from a queue, as a driver fills them.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "device/device_handle.h"
#include "device/ports/device_port.h"
#include "device/ports/pass_through.h"
#include "device/scsi_commands.h"
#include "scsi/status.h"

namespace orv::test {

struct FakeCall {
  uint32_t code = 0, inLength = 0, outLength = 0;
  ScsiPassThroughHeader header{};     // as the port received it
  std::vector<uint8_t> in;            // the first inLength bytes given
  std::vector<uint8_t> outAtCall;     // the output buffer's bytes when the call came
  std::vector<uint8_t> dataOut;       // direct form, data out: the bytes offered to the drive
};

struct FakeReply {
  bool fail = false;                  // the system call fails (error 1167)
  uint8_t status = kScsiStatusGood;
  std::vector<uint8_t> sense;         // written at the sense offset
  std::vector<uint8_t> data;          // written to the data buffer (pass-through) or the output
  std::optional<uint32_t> moved;      // DataTransferLength after the call; default: as asked
  std::optional<uint32_t> returned;   // bytes returned by a pass-through; default: the output length
};

inline FakeReply Failure() { FakeReply r; r.fail = true; return r; }
inline FakeReply Status(uint8_t status) { FakeReply r; r.status = status; return r; }
inline FakeReply Data(std::vector<uint8_t> data, std::optional<uint32_t> moved = {}) {
  FakeReply r; r.data = std::move(data), r.moved = moved; return r;
}
// CHECK CONDITION with fixed-format sense: key, ASC, additional length.
inline FakeReply CheckCondition(uint8_t key, uint8_t asc, uint8_t additionalLength = 10) {
  FakeReply r = Status(kScsiStatusCheckCondition);
  r.sense.assign(18, 0);
  r.sense[0] = 0x70, r.sense[2] = key, r.sense[7] = additionalLength, r.sense[12] = asc;
  return r;
}

// A buffered request as the command set fills it (10-second timeout); READ CAPACITY, data in, by default.
inline PassThroughRequest Request(uint8_t opcode = 0x25, uint8_t cdbLength = 10, uint32_t transferLength = 8,
                                  uint8_t dataIn = kScsiDataIn) {
  PassThroughRequest request{};
  ScsiPassThroughHeader& h = request.header;
  h.length = kRequestHeaderSize, h.cdbLength = cdbLength, h.cdb[0] = opcode, h.dataIn = dataIn;
  h.dataTransferLength = transferLength, h.timeOutValue = 10, h.dataBuffer = kRequestDataOffset;
  h.senseInfoLength = kRequestSenseLength, h.senseInfoOffset = kRequestSenseOffset;
  return request;
}

class FakePort : public DevicePort {
 public:
  std::vector<FakeCall> calls;
  std::deque<FakeReply> replies;  // used in order; when empty, GOOD with all data moved
  int opens = 0, closes = 0;
  uint32_t lastError = 0;

  PortHandle Open(const char* path, uint8_t) override {
    if (std::strcmp(path, "missing") == 0) return lastError = 2, kNoPortHandle;
    return ++opens, 77;
  }
  int Close(PortHandle) override { return ++closes, 0; }
  uint32_t GetFileType(PortHandle) override { return kFileTypeDisk; }
  bool IoControl(PortHandle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* bytesReturned) override {
    FakeCall call;
    call.code = code, call.inLength = inLength, call.outLength = outLength;
    const auto* i = static_cast<const uint8_t*>(in);
    auto* o = static_cast<uint8_t*>(out);
    if (i != nullptr) call.in.assign(i, i + inLength);
    if (i != nullptr && inLength >= sizeof call.header) std::memcpy(&call.header, in, sizeof call.header);
    const bool direct = code == kIoctlScsiPassThroughDirect;
    if (direct && call.header.dataIn == kScsiDataOut && call.header.dataBuffer != 0) {
      const auto* data = reinterpret_cast<const uint8_t*>(call.header.dataBuffer);
      call.dataOut.assign(data, data + call.header.dataTransferLength);
    }
    if (o != nullptr) call.outAtCall.assign(o, o + outLength);
    calls.push_back(call);
    FakeReply reply;
    if (!replies.empty()) reply = replies.front(), replies.pop_front();
    if (reply.fail) return lastError = 1167, false;
    if (code != kIoctlScsiPassThrough && !direct) {
      const size_t n = std::min<size_t>(reply.data.size(), outLength);
      if (n != 0) std::memcpy(o, reply.data.data(), n);  // never from an empty reply (UBSan)
      if (bytesReturned) *bytesReturned = static_cast<uint32_t>(n);
      return true;
    }
    ScsiPassThroughHeader h;
    std::memcpy(&h, o, sizeof h);
    h.scsiStatus = reply.status;
    const size_t senseBytes = std::min<size_t>(reply.sense.size(), h.senseInfoLength);
    if (senseBytes != 0) std::memcpy(o + h.senseInfoOffset, reply.sense.data(), senseBytes);
    uint8_t* data = direct ? reinterpret_cast<uint8_t*>(h.dataBuffer) : o + h.dataBuffer;
    const size_t dataBytes = std::min<size_t>(reply.data.size(), h.dataTransferLength);
    if (dataBytes != 0) std::memcpy(data, reply.data.data(), dataBytes);
    if (reply.moved) h.dataTransferLength = *reply.moved;
    h.senseInfoLength = static_cast<uint8_t>(senseBytes);  // the sense returned
    std::memcpy(o, &h, sizeof h);
    if (bytesReturned) *bytesReturned = reply.returned.value_or(outLength);
    return true;
  }
  uint32_t LastError() const override { return lastError; }
  uint32_t ErrorCode(PortError) const override { return 1167; }
  uint32_t DriveType(const char*) override { return kDriveCdrom; }
  std::vector<DriveCandidate> DriveCandidates() override { return {{'E', "\\\\.\\E:"}}; }
};

// A handle on a scripted port, open on E: unless asked not to, and a page-aligned buffer.
struct FakeDevice {
  FakePort* port = new FakePort;
  DeviceHandle device{std::unique_ptr<DevicePort>(port)};
  PageBuffer buffer{65536};
  explicit FakeDevice(bool open = true) { EXPECT_TRUE(!open || device.Open("\\\\.\\E:", kOpenSharedReadWrite) == 0); }
};

}  // namespace orv::test

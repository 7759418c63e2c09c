// A scripted port: records every call and answers pass-through requests the way a driver fills
// them (status, sense at the sense offset, data, bytes moved), from a queue of replies.
#pragma once

#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "device/ports/device_port.h"
#include "device/ports/pass_through.h"

namespace orv::test {

struct FakeCall {
  uint32_t code = 0;
  uint32_t inLength = 0;
  uint32_t outLength = 0;
  ScsiPassThroughHeader header{};     // as the port received it
  std::vector<uint8_t> in;            // the first inLength bytes given
  std::vector<uint8_t> outAtCall;     // the output buffer's bytes when the call came
  std::vector<uint8_t> dataOut;       // direct form, data out: the bytes offered to the drive
};

struct FakeReply {
  bool fail = false;                  // the system call fails (error 1167)
  uint8_t status = kScsiStatusGood;
  std::vector<uint8_t> sense;         // written at the sense offset
  std::vector<uint8_t> data;          // written to the data buffer, at most DataTransferLength
  std::optional<uint32_t> moved;      // DataTransferLength after the call; default: as asked
  std::vector<uint8_t> answer;        // non-pass-through controls: bytes of the answer
};

// Fixed-format sense with the given key, additional length, ASC.
inline std::vector<uint8_t> Sense(uint8_t key, uint8_t asc, uint8_t additionalLength = 10) {
  std::vector<uint8_t> s(18, 0);
  s[0] = 0x70;
  s[2] = key;
  s[7] = additionalLength;
  s[12] = asc;
  return s;
}

inline FakeReply Failure() {
  FakeReply r;
  r.fail = true;
  return r;
}
inline FakeReply WithStatus(uint8_t status, std::vector<uint8_t> sense = {}) {
  FakeReply r;
  r.status = status;
  r.sense = std::move(sense);
  return r;
}
inline FakeReply CheckCondition(std::vector<uint8_t> sense) { return WithStatus(kScsiStatusCheckCondition, std::move(sense)); }
inline FakeReply WithData(std::vector<uint8_t> data, std::optional<uint32_t> moved = std::nullopt) {
  FakeReply r;
  r.data = std::move(data);
  r.moved = moved;
  return r;
}
inline FakeReply Moved(uint32_t moved) { return WithData({}, moved); }
inline FakeReply Answer(std::vector<uint8_t> answer) {
  FakeReply r;
  r.answer = std::move(answer);
  return r;
}

class FakePort : public DevicePort {
 public:
  std::vector<FakeCall> calls;
  std::deque<FakeReply> replies;  // used in order; when empty, GOOD with all data moved
  int opens = 0;
  int closes = 0;
  uint32_t lastError = 0;

  PortHandle Open(const char* path, uint8_t) override {
    if (std::strcmp(path, "missing") == 0) {
      lastError = 2;
      return kNoPortHandle;
    }
    ++opens;
    return 77;
  }
  int Close(PortHandle) override {
    ++closes;
    return 0;
  }
  uint32_t GetFileType(PortHandle) override { return kFileTypeDisk; }
  bool IoControl(PortHandle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* bytesReturned) override {
    FakeCall call;
    call.code = code;
    call.inLength = inLength;
    call.outLength = outLength;
    if (in != nullptr) {
      call.in.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inLength);
      if (inLength >= sizeof(ScsiPassThroughHeader)) std::memcpy(&call.header, in, sizeof call.header);
    }
    if (code == kIoctlScsiPassThroughDirect && call.header.dataIn == kScsiDataOut && call.header.dataBuffer != 0) {
      const auto* data = reinterpret_cast<const uint8_t*>(call.header.dataBuffer);
      call.dataOut.assign(data, data + call.header.dataTransferLength);
    }
    if (out != nullptr) call.outAtCall.assign(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + outLength);
    calls.push_back(call);
    FakeReply reply;
    if (!replies.empty()) {
      reply = replies.front();
      replies.pop_front();
    }
    if (reply.fail) {
      lastError = 1167;
      return false;
    }
    auto* o = static_cast<uint8_t*>(out);
    if (code != kIoctlScsiPassThrough && code != kIoctlScsiPassThroughDirect) {
      if (!reply.answer.empty()) std::memcpy(o, reply.answer.data(), std::min<size_t>(reply.answer.size(), outLength));
      if (bytesReturned) *bytesReturned = static_cast<uint32_t>(std::min<size_t>(reply.answer.size(), outLength));
      return true;
    }
    ScsiPassThroughHeader h;
    std::memcpy(&h, o, sizeof h);
    h.scsiStatus = reply.status;
    const size_t senseBytes = std::min<size_t>(reply.sense.size(), h.senseInfoLength);
    if (senseBytes != 0) std::memcpy(o + h.senseInfoOffset, reply.sense.data(), senseBytes);
    uint8_t* data = code == kIoctlScsiPassThroughDirect ? reinterpret_cast<uint8_t*>(h.dataBuffer) : o + h.dataBuffer;
    const size_t dataBytes = std::min<size_t>(reply.data.size(), h.dataTransferLength);
    if (dataBytes != 0) std::memcpy(data, reply.data.data(), dataBytes);
    if (reply.moved) h.dataTransferLength = *reply.moved;
    std::memcpy(o, &h, sizeof h);
    if (bytesReturned) *bytesReturned = outLength;
    return true;
  }
  uint32_t LastError() const override { return lastError; }
  uint32_t ErrorCode(PortError) const override { return 1167; }
  uint32_t DriveType(const char*) override { return kDriveCdrom; }
  std::vector<DriveCandidate> DriveCandidates() override { return {{'E', "\\\\.\\E:"}}; }
};

}  // namespace orv::test

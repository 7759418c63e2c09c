// What one SCSI command looks like to the target side of the virtual drive: the CDB, the data
// phase, and the answer (status, fixed-format sense, bytes moved).
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace orv {

enum class DataDirection : uint8_t { kNone, kIn, kOut };

// SPC sense keys the emulator uses.
enum SenseKey : uint8_t {
  kSenseNoSense = 0x0,
  kSenseRecoveredError = 0x1,
  kSenseNotReady = 0x2,
  kSenseMediumError = 0x3,
  kSenseHardwareError = 0x4,
  kSenseIllegalRequest = 0x5,
  kSenseUnitAttention = 0x6,
  kSenseDataProtect = 0x7,
  kSenseAbortedCommand = 0xB,
};

// A sense condition: key, additional sense code and qualifier.
struct SenseCode {
  uint8_t key = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
};

// Common additional sense codes (SPC/SBC/MMC).
inline constexpr SenseCode kSenseInvalidOpcode{kSenseIllegalRequest, 0x20, 0x00};
inline constexpr SenseCode kSenseLbaOutOfRange{kSenseIllegalRequest, 0x21, 0x00};
inline constexpr SenseCode kSenseInvalidFieldInCdb{kSenseIllegalRequest, 0x24, 0x00};
inline constexpr SenseCode kSenseMediumNotPresent{kSenseNotReady, 0x3A, 0x00};
inline constexpr SenseCode kSenseWriteProtected{kSenseDataProtect, 0x27, 0x00};
inline constexpr SenseCode kSenseMediumChanged{kSenseUnitAttention, 0x28, 0x00};
inline constexpr SenseCode kSensePowerOnReset{kSenseUnitAttention, 0x29, 0x00};
inline constexpr SenseCode kSenseUnrecoveredReadError{kSenseMediumError, 0x11, 0x00};
inline constexpr SenseCode kSenseWriteError{kSenseMediumError, 0x0C, 0x00};

inline constexpr uint8_t kStatusGood = 0x00;
inline constexpr uint8_t kStatusCheckCondition = 0x02;

// Fixed-format sense data (response code 70h) is 18 bytes: additional length 10.
inline constexpr uint32_t kFixedSenseLength = 18;
using SenseData = std::array<uint8_t, kFixedSenseLength>;
SenseData MakeFixedSense(SenseCode code);

// The target's answer to one command.
struct CommandOutcome {
  uint8_t status = kStatusGood;
  SenseData sense{};
  uint32_t senseLength = 0;  // kFixedSenseLength with CHECK CONDITION, else 0
  uint32_t transferred = 0;  // bytes moved in the data phase
};

// One command in flight, handed to a command handler. The handler answers through Fail(),
// SendData() (data in) or by reading `buffer` (data out) and setting `transferred`.
struct CommandContext {
  std::span<const uint8_t> cdb;
  DataDirection direction = DataDirection::kNone;
  uint8_t* buffer = nullptr;    // the initiator's data buffer
  uint32_t bufferLength = 0;    // bytes the initiator offers (DataTransferLength)
  CommandOutcome outcome;

  uint8_t Opcode() const { return cdb.empty() ? 0 : cdb[0]; }
  // CHECK CONDITION with fixed-format sense.
  void Fail(SenseCode code);
  bool Failed() const { return outcome.status != kStatusGood; }
  // Data in: copies min(answer, allocationLength, bufferLength) bytes, the SPC rule for an
  // answer longer or shorter than the allocation length. Returns the bytes copied.
  uint32_t SendData(std::span<const uint8_t> answer, uint32_t allocationLength);
};

}  // namespace orv

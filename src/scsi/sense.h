// Sense data (SPC): the sense keys, the additional sense codes the program names, and the
// fixed-format layout (response code 70h) in which drives and the virtual drive report them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orv {

// Sense keys: the low four bits of fixed-format byte 2.
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
  kSenseMiscompare = 0xE,
};

// A sense condition: key, additional sense code and qualifier.
struct SenseCode {
  uint8_t key = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
};

// Conditions by additional sense code (SPC/SBC/MMC).
inline constexpr SenseCode kSenseWriteError{kSenseMediumError, 0x0C, 0x00};
inline constexpr SenseCode kSenseUnrecoveredReadError{kSenseMediumError, 0x11, 0x00};
inline constexpr SenseCode kSenseMiscompareDuringVerify{kSenseMiscompare, 0x1D, 0x00};
inline constexpr SenseCode kSenseInvalidOpcode{kSenseIllegalRequest, 0x20, 0x00};
inline constexpr SenseCode kSenseLbaOutOfRange{kSenseIllegalRequest, 0x21, 0x00};
inline constexpr SenseCode kSenseInvalidFieldInCdb{kSenseIllegalRequest, 0x24, 0x00};
inline constexpr SenseCode kSenseWriteProtected{kSenseDataProtect, 0x27, 0x00};
inline constexpr SenseCode kSenseMediumChanged{kSenseUnitAttention, 0x28, 0x00};
inline constexpr SenseCode kSensePowerOnReset{kSenseUnitAttention, 0x29, 0x00};
inline constexpr SenseCode kSenseSavingNotSupported{kSenseIllegalRequest, 0x39, 0x00};
inline constexpr SenseCode kSenseMediumNotPresent{kSenseNotReady, 0x3A, 0x00};
inline constexpr SenseCode kSenseKeyNotEstablished{kSenseIllegalRequest, 0x6F, 0x02};

// Additional sense codes after which a command goes out again: 28h (not ready to ready change,
// the medium may have changed) and 23h, which some drives give instead.
inline constexpr std::array<uint8_t, 2> kReissueAscs = {0x28, 0x23};

// Fixed-format sense, byte offsets.
inline constexpr size_t kSenseResponseCodeAt = 0;      // 70h current error, 71h deferred
inline constexpr size_t kSenseKeyAt = 2;               // key in bits 3-0
inline constexpr size_t kSenseAdditionalLengthAt = 7;  // bytes that follow this one
inline constexpr size_t kSenseAscAt = 12;
inline constexpr size_t kSenseAscqAt = 13;

// The whole fixed format is 18 bytes: an additional length of 10. The codes at bytes 12 and 13
// are read only from sense that states at least this length.
inline constexpr uint32_t kFixedSenseLength = 18;
inline constexpr uint8_t kFixedSenseAdditionalLength = kFixedSenseLength - 8;

using SenseData = std::array<uint8_t, kFixedSenseLength>;

// Current-error fixed-format sense of `code`, additional length 10.
SenseData MakeFixedSense(SenseCode code);

}  // namespace orv

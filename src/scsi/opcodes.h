// Operation codes of the SCSI commands the program sends (SPC, SBC, MMC). The command set builds
// its command blocks with them and the virtual drive dispatches on them, so both read one table.
#pragma once

#include <cstdint>

namespace orv::scsi_op {

inline constexpr uint8_t kTestUnitReady = 0x00;
inline constexpr uint8_t kRequestSense = 0x03;
inline constexpr uint8_t kInquiry = 0x12;
inline constexpr uint8_t kModeSense6 = 0x1A;
inline constexpr uint8_t kReadCapacity = 0x25;
inline constexpr uint8_t kRead10 = 0x28;
inline constexpr uint8_t kWrite10 = 0x2A;
inline constexpr uint8_t kSeek10 = 0x2B;
inline constexpr uint8_t kVerify10 = 0x2F;
inline constexpr uint8_t kGetConfiguration = 0x46;
inline constexpr uint8_t kModeSense10 = 0x5A;
inline constexpr uint8_t kReadDvdStructure = 0xAD;

}  // namespace orv::scsi_op

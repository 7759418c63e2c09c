// Just enough of LHA archives (level-2 headers) to hand LH5 streams to other archivers and back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv::test {

struct LhaMember {
  std::string name;
  std::string method;  // "-lh5-", "-lh0-", ...
  uint64_t originalSize = 0;
  uint16_t crc16 = 0;  // CRC-16/ARC of the original data
  std::vector<uint8_t> packed;
};

// One member with a level-2 header (its header CRC included), and the end mark.
std::vector<uint8_t> MakeLevel2Archive(const std::string& name, const std::string& method,
                                       const std::vector<uint8_t>& packed, uint64_t originalSize,
                                       uint16_t crc16);

// The members up to the end mark; false on a header it cannot read.
bool ReadLhaMembers(const std::vector<uint8_t>& archive, std::vector<LhaMember>* members);

}  // namespace orv::test

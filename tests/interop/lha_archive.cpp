#include "lha_archive.h"

#include <cstring>

#include "image/crc16.h"
#include "toolkit/endian.h"

namespace orv::test {

// The base header (up to the first extended header's size), the common extended header (its
// CRC-16 covers the whole header) and the file name; then the data and the end mark.
std::vector<uint8_t> MakeLevel2Archive(const std::string& name, const std::string& method,
                                       const std::vector<uint8_t>& packed, uint64_t originalSize,
                                       uint16_t crc16) {
  const size_t total = 26 + 5 + 1 + name.size() + 2;
  std::vector<uint8_t> a(total, 0);
  PutLe16(&a[0], static_cast<uint16_t>(total));
  std::memcpy(&a[2], method.data(), 5);
  PutLe32(&a[7], static_cast<uint32_t>(packed.size()));
  PutLe32(&a[11], static_cast<uint32_t>(originalSize));
  PutLe32(&a[15], 1700000000u);  // time stamp
  a[19] = 0x20;                  // attribute: archive
  a[20] = 2;                     // header level
  PutLe16(&a[21], crc16);
  a[23] = 'U';                   // operating system
  PutLe16(&a[24], 5);            // common header: type 0x00, header CRC at 27, next size at 29
  PutLe16(&a[29], static_cast<uint16_t>(1 + name.size() + 2));
  a[31] = 0x01;                  // file name, then a next size of 0
  std::memcpy(&a[32], name.data(), name.size());
  PutLe16(&a[27], Crc16Update(0, a.data(), a.size()));
  a.insert(a.end(), packed.begin(), packed.end());
  a.push_back(0);
  return a;
}

bool ReadLhaMembers(const std::vector<uint8_t>& a, std::vector<LhaMember>* members) {
  auto text = [&a](size_t from, size_t count) { return std::string(a.begin() + from, a.begin() + from + count); };
  for (size_t at = 0; at < a.size() && a[at] != 0;) {
    if (at + 26 > a.size() || a[at + 20] != 2) return false;
    LhaMember m;
    m.method = text(at + 2, 5);
    const uint64_t packed = GetLe32(&a[at + 7]);
    m.originalSize = GetLe32(&a[at + 11]);
    m.crc16 = GetLe16(&a[at + 21]);
    // The extended headers, each a size (0 ends them), a type (0x01: the file name) and its data.
    for (size_t ext = at + 24, size = 0;; ext += size) {
      if (ext + 2 > a.size()) return false;
      if ((size = GetLe16(&a[ext])) == 0) break;
      if (size < 3 || ext + 2 + size > a.size()) return false;
      if (a[ext + 2] == 0x01) m.name = text(ext + 3, size - 3);
    }
    const size_t dataAt = at + GetLe16(&a[at]);
    if (dataAt + packed > a.size()) return false;
    m.packed.assign(a.begin() + dataAt, a.begin() + dataAt + packed);
    members->push_back(std::move(m));
    at = dataAt + packed;
  }
  return true;
}

}  // namespace orv::test

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

namespace {

std::string Text(const std::vector<uint8_t>& a, size_t from, size_t count) {
  return std::string(a.begin() + static_cast<std::ptrdiff_t>(from), a.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// Walks a chain of extended headers from the size at `at`, taking the file name; returns the
// bytes they take (size fields included) or -1 when they run outside the archive.
int64_t ExtendedHeaders(const std::vector<uint8_t>& a, size_t at, LhaMember* m) {
  int64_t used = 0;
  for (uint16_t size; at + 2 <= a.size(); at += size, used += size) {
    size = GetLe16(&a[at]);
    if (size == 0) return used;
    if (size < 3 || at + 2 + size > a.size()) return -1;
    if (a[at + 2] == 0x01) m->name = Text(a, at + 3, size - 3u);
  }
  return -1;
}

}  // namespace

bool ReadLhaMembers(const std::vector<uint8_t>& a, std::vector<LhaMember>* members) {
  for (size_t at = 0; at < a.size() && a[at] != 0;) {
    if (at + 24 > a.size()) return false;
    LhaMember m;
    m.method = Text(a, at + 2, 5);
    uint64_t packed = GetLe32(&a[at + 7]);
    m.originalSize = GetLe32(&a[at + 11]);
    const int level = a[at + 20];
    size_t dataAt;
    if (level == 0 || level == 1) {
      const size_t nameLength = a[at + 21];
      if (at + 22 + nameLength + 2 > a.size()) return false;
      m.name = Text(a, at + 22, nameLength);
      m.crc16 = GetLe16(&a[at + 22 + nameLength]);
      dataAt = at + 2 + a[at];
      if (level == 1) {
        const int64_t extended = ExtendedHeaders(a, dataAt - 2, &m);
        if (extended < 0 || static_cast<uint64_t>(extended) > packed) return false;
        dataAt += static_cast<size_t>(extended);
        packed -= static_cast<uint64_t>(extended);  // the packed size counts them
      }
    } else if (level == 2) {
      m.crc16 = GetLe16(&a[at + 21]);
      if (ExtendedHeaders(a, at + 24, &m) < 0) return false;
      dataAt = at + GetLe16(&a[at]);
    } else {
      return false;
    }
    if (dataAt + packed > a.size()) return false;
    const auto data = a.begin() + static_cast<std::ptrdiff_t>(dataAt);
    m.packed.assign(data, data + static_cast<std::ptrdiff_t>(packed));
    members->push_back(std::move(m));
    at = dataAt + packed;
  }
  return true;
}

}  // namespace orv::test

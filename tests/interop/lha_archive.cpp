#include "lha_archive.h"

#include "image/crc16.h"
#include "toolkit/endian.h"

namespace orv::test {

std::vector<uint8_t> MakeLevel2Archive(const std::string& name, const std::string& method,
                                       const std::vector<uint8_t>& packed, uint64_t originalSize,
                                       uint16_t crc16) {
  // Base header (26 bytes, up to the first extended-header size), then the common extended
  // header (its CRC field covers the whole header) and the file name.
  const size_t commonSize = 1 + 2 + 2;
  const size_t nameSize = 1 + name.size() + 2;
  const size_t total = 26 + commonSize + nameSize;
  std::vector<uint8_t> h(total, 0);
  PutLe16(&h[0], static_cast<uint16_t>(total));
  for (size_t i = 0; i < 5; ++i) h[2 + i] = static_cast<uint8_t>(method[i]);
  PutLe32(&h[7], static_cast<uint32_t>(packed.size()));
  PutLe32(&h[11], static_cast<uint32_t>(originalSize));
  PutLe32(&h[15], 1700000000u);
  h[19] = 0x20;
  h[20] = 2;
  PutLe16(&h[21], crc16);
  h[23] = 'U';
  PutLe16(&h[24], static_cast<uint16_t>(commonSize));
  size_t at = 26;
  h[at] = 0x00;  // common header: header CRC, filled below
  const size_t crcAt = at + 1;
  PutLe16(&h[at + 3], static_cast<uint16_t>(nameSize));
  at += commonSize;
  h[at] = 0x01;  // file name
  for (size_t i = 0; i < name.size(); ++i) h[at + 1 + i] = static_cast<uint8_t>(name[i]);
  PutLe16(&h[at + 1 + name.size()], 0);
  PutLe16(&h[crcAt], Crc16Update(0, h.data(), h.size()));

  std::vector<uint8_t> archive = h;
  archive.insert(archive.end(), packed.begin(), packed.end());
  archive.push_back(0);  // end of archive
  return archive;
}

namespace {

// Walks a chain of extended headers starting with the size at `at`; returns the bytes they take
// (sizes fields included) or -1 when they run outside the archive.
int64_t ExtendedHeaders(const std::vector<uint8_t>& a, size_t at, LhaMember* m) {
  int64_t used = 0;
  while (at + 2 <= a.size()) {
    const uint16_t size = GetLe16(&a[at]);
    if (size == 0) return used;
    const size_t start = at + 2;
    if (size < 3 || start + size > a.size()) return -1;
    if (a[start] == 0x01) m->name.assign(a.begin() + static_cast<std::ptrdiff_t>(start + 1),
                                         a.begin() + static_cast<std::ptrdiff_t>(start + size - 2));
    used += size;
    at = start + size - 2;
  }
  return -1;
}

}  // namespace

bool ReadLhaMembers(const std::vector<uint8_t>& a, std::vector<LhaMember>* members) {
  size_t at = 0;
  while (at < a.size() && a[at] != 0) {
    if (at + 24 > a.size()) return false;
    LhaMember m;
    m.method.assign(a.begin() + static_cast<std::ptrdiff_t>(at + 2), a.begin() + static_cast<std::ptrdiff_t>(at + 7));
    uint64_t packed = GetLe32(&a[at + 7]);
    m.originalSize = GetLe32(&a[at + 11]);
    const int level = a[at + 20];
    size_t dataAt;
    if (level == 0 || level == 1) {
      const size_t headerSize = a[at];
      const size_t nameLength = a[at + 21];
      if (at + 22 + nameLength + 2 > a.size()) return false;
      m.name.assign(a.begin() + static_cast<std::ptrdiff_t>(at + 22), a.begin() + static_cast<std::ptrdiff_t>(at + 22 + nameLength));
      m.crc16 = GetLe16(&a[at + 22 + nameLength]);
      dataAt = at + 2 + headerSize;
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
    m.packed.assign(a.begin() + static_cast<std::ptrdiff_t>(dataAt), a.begin() + static_cast<std::ptrdiff_t>(dataAt + packed));
    members->push_back(std::move(m));
    at = dataAt + packed;
  }
  return true;
}

}  // namespace orv::test

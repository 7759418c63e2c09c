// Builds media with partition tables from bytes, for the partition reader and summary tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <vector>

#include "device/partition_table.h"
#include "toolkit/endian.h"

namespace orv::test {

// One table slot; CHS bytes as stored (bytes 1-3 and 5-7).
struct Slot {
  uint8_t type = 0;
  uint32_t relativeStart = 0;
  uint32_t count = 0;
  uint8_t boot = 0;
  uint8_t chs[6] = {0x01, 0x01, 0x00, 0xFE, 0xFF, 0xFF};  // start, end
  Slot(uint8_t t, uint32_t rel, uint32_t n) : type(t), relativeStart(rel), count(n) {}
  Slot& Boot() { boot = 0x80; return *this; }
  Slot& Chs(uint8_t h1, uint8_t s1, uint8_t c1, uint8_t h2, uint8_t s2, uint8_t c2) {
    chs[0] = h1, chs[1] = s1, chs[2] = c1, chs[3] = h2, chs[4] = s2, chs[5] = c2;
    return *this;
  }
};

// A medium whose blocks are zero unless written; reads past the end fail.
struct Disk {
  uint32_t blockLength;
  uint64_t blockCount;
  std::map<uint64_t, std::vector<uint8_t>> blocks;
  int reads = 0;
  std::vector<uint64_t> readLbas;  // every block asked for, in order
  uint64_t shortReadAt = ~uint64_t{0};

  Disk(uint32_t length, uint64_t count) : blockLength(length), blockCount(count) {}

  // A table block: slots in order from slot 0, the 55h AAh signature at 510.
  void Table(uint64_t lba, std::initializer_list<Slot> slots) {
    std::vector<uint8_t>& b = blocks[lba];
    b.resize(blockLength);
    uint8_t* raw = b.data() + 0x1BE;
    for (const Slot& s : slots) {
      raw[0] = s.boot, raw[4] = s.type;
      std::copy(s.chs, s.chs + 3, raw + 1);
      std::copy(s.chs + 3, s.chs + 6, raw + 5);
      PutLe32(raw + 8, s.relativeStart);
      PutLe32(raw + 12, s.count);
      raw += 16;
    }
    b[510] = 0x55, b[511] = 0xAA;
  }
  void Mbr(std::initializer_list<Slot> slots) { Table(0, slots); }

  // Stops answering after 1000 reads, so a reader that loops fails instead of hanging.
  BlockReader Reader() {
    return [this](uint64_t lba, std::span<uint8_t> out) -> int {
      readLbas.push_back(lba);
      if (++reads > 1000 || lba >= blockCount || out.size() != blockLength) return -1;
      auto it = blocks.find(lba);
      for (size_t i = 0; i < out.size(); ++i) out[i] = it == blocks.end() ? 0 : it->second[i];
      return lba == shortReadAt ? static_cast<int>(out.size()) - 1 : static_cast<int>(out.size());
    };
  }
};

}  // namespace orv::test

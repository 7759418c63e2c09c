// Builds media with partition tables from bytes, for the partition reader and summary tests.
#pragma once

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
  uint8_t startChs[3] = {0x01, 0x01, 0x00};
  uint8_t endChs[3] = {0xFE, 0xFF, 0xFF};
  Slot(uint8_t t, uint32_t rel, uint32_t n) : type(t), relativeStart(rel), count(n) {}
  Slot& Boot() { boot = 0x80; return *this; }
  Slot& Chs(uint8_t h1, uint8_t s1, uint8_t c1, uint8_t h2, uint8_t s2, uint8_t c2) {
    startChs[0] = h1; startChs[1] = s1; startChs[2] = c1;
    endChs[0] = h2; endChs[1] = s2; endChs[2] = c2;
    return *this;
  }
};

// A medium whose blocks are zero unless written; reads past the end fail.
struct Disk {
  uint32_t blockLength;
  uint64_t blockCount;
  std::map<uint64_t, std::vector<uint8_t>> blocks;
  int reads = 0;
  uint64_t shortReadAt = ~uint64_t{0};

  Disk(uint32_t length, uint64_t count) : blockLength(length), blockCount(count) {}

  std::vector<uint8_t>& Block(uint64_t lba) {
    auto& block = blocks[lba];
    block.resize(blockLength);
    return block;
  }

  // A table block: slots in order from slot 0, the 55h AAh signature at 510.
  void Table(uint64_t lba, std::initializer_list<Slot> slots) {
    std::vector<uint8_t>& b = Block(lba);
    size_t i = 0;
    for (const Slot& s : slots) {
      uint8_t* raw = b.data() + 0x1BE + 16 * i++;
      raw[0] = s.boot;
      raw[1] = s.startChs[0]; raw[2] = s.startChs[1]; raw[3] = s.startChs[2];
      raw[4] = s.type;
      raw[5] = s.endChs[0]; raw[6] = s.endChs[1]; raw[7] = s.endChs[2];
      PutLe32(raw + 8, s.relativeStart);
      PutLe32(raw + 12, s.count);
    }
    b[510] = 0x55;
    b[511] = 0xAA;
  }
  void Mbr(std::initializer_list<Slot> slots) { Table(0, slots); }

  // Stops answering after 1000 reads, so a reader that loops fails instead of hanging.
  BlockReader Reader() {
    return [this](uint64_t lba, std::span<uint8_t> out) -> int {
      if (++reads > 1000 || lba >= blockCount || out.size() != blockLength) return -1;
      auto it = blocks.find(lba);
      for (size_t i = 0; i < out.size(); ++i) out[i] = it == blocks.end() ? 0 : it->second[i];
      return lba == shortReadAt ? static_cast<int>(out.size()) - 1 : static_cast<int>(out.size());
    };
  }
};

}  // namespace orv::test

#include "image/lh5_huffman.h"

#include <array>

#include "image/lh5_constants.h"

namespace orv::lh5 {

namespace {

// Work space of one code construction: symbols are 0..count-1, internal nodes count..2*count-2.
struct TreeBuilder {
  int count = 0;
  std::array<uint32_t, 2 * kNC> freq{};
  std::array<int, kNC + 1> heap{};  // 1-based priority queue, least frequency on top
  int heapSize = 0;
  std::array<int, 2 * kNC> left{};
  std::array<int, 2 * kNC> right{};
  std::array<uint16_t, kMaxCodeBits + 1> lengthCount{};
  std::array<int, kNC> leafOrder{};  // symbols in the order the queue gave them up
  int leafOrderSize = 0;

  void DownHeap(int i) {
    int k = heap[i];
    int j;
    while ((j = 2 * i) <= heapSize) {
      if (j < heapSize && freq[heap[j]] > freq[heap[j + 1]]) ++j;
      if (freq[k] <= freq[heap[j]]) break;
      heap[i] = heap[j];
      i = j;
    }
    heap[i] = k;
  }

  // Counts leaves per depth; anything deeper than 16 is counted at 16 and fixed up below.
  void CountLengths(int node, int depth) {
    if (node < count) {
      ++lengthCount[depth < kMaxCodeBits ? depth : kMaxCodeBits];
      return;
    }
    CountLengths(left[node], depth + 1);
    CountLengths(right[node], depth + 1);
  }

  // Limits the lengths to 16 bits: while the Kraft sum overflows, one leaf leaves level 16 and
  // a leaf of the deepest shorter level moves down one level, becoming two.
  void LimitLengths(int root) {
    lengthCount.fill(0);
    CountLengths(root, 0);
    uint32_t kraft = 0;
    for (int i = kMaxCodeBits; i > 0; --i) kraft += uint32_t{lengthCount[i]} << (kMaxCodeBits - i);
    while (kraft != (1u << kMaxCodeBits)) {
      --lengthCount[kMaxCodeBits];
      for (int i = kMaxCodeBits - 1; i > 0; --i) {
        if (lengthCount[i] != 0) {
          --lengthCount[i];
          lengthCount[i + 1] = static_cast<uint16_t>(lengthCount[i + 1] + 2);
          break;
        }
      }
      --kraft;
    }
  }
};

}  // namespace

int MakeHuffmanCode(int count, const uint32_t* symbolFreq, uint8_t* length, uint16_t* code) {
  TreeBuilder b;
  b.count = count;
  b.heap[1] = 0;
  for (int i = 0; i < count; ++i) {
    length[i] = 0;
    code[i] = 0;
    b.freq[i] = symbolFreq[i];
    if (symbolFreq[i] != 0) b.heap[++b.heapSize] = i;
  }
  if (b.heapSize < 2) return b.heap[1];

  for (int i = b.heapSize / 2; i >= 1; --i) b.DownHeap(i);
  int next = count;
  int node = 0;
  do {
    int least = b.heap[1];
    if (least < count) b.leafOrder[b.leafOrderSize++] = least;
    b.heap[1] = b.heap[b.heapSize--];
    b.DownHeap(1);
    int second = b.heap[1];
    if (second < count) b.leafOrder[b.leafOrderSize++] = second;
    node = next++;
    b.freq[node] = b.freq[least] + b.freq[second];
    b.heap[1] = node;
    b.DownHeap(1);
    b.left[node] = least;
    b.right[node] = second;
  } while (b.heapSize > 1);

  b.LimitLengths(node);
  // The least frequent symbols, given up first, take the longest codes.
  int order = 0;
  for (int len = kMaxCodeBits; len > 0; --len) {
    for (int k = b.lengthCount[len]; k > 0; --k) length[b.leafOrder[order++]] = static_cast<uint8_t>(len);
  }

  std::array<uint16_t, kMaxCodeBits + 2> start{};
  start[1] = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    start[len + 1] = static_cast<uint16_t>((start[len] + b.lengthCount[len]) << 1);
  }
  for (int i = 0; i < count; ++i) {
    if (length[i] != 0) code[i] = start[length[i]]++;
  }
  return node;
}

bool MakeDecodeTable(int count, const uint8_t* length, int tableBits, uint16_t* table,
                     uint16_t* left, uint16_t* right) {
  std::array<uint32_t, kMaxCodeBits + 1> lengthCount{};
  for (int i = 0; i < count; ++i) {
    if (length[i] > kMaxCodeBits) return false;
    ++lengthCount[length[i]];
  }
  // start[len]: first code of that length, left-aligned in 16 bits.
  std::array<uint32_t, kMaxCodeBits + 2> start{};
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    start[len + 1] = start[len] + (lengthCount[len] << (kMaxCodeBits - len));
  }
  if (start[kMaxCodeBits + 1] != (1u << kMaxCodeBits)) return false;

  const uint32_t tableSize = 1u << tableBits;
  const int dropBits = kMaxCodeBits - tableBits;
  constexpr uint16_t kEmpty = 0xFFFF;
  for (uint32_t i = 0; i < tableSize; ++i) table[i] = kEmpty;

  int nextNode = count;
  const int nodeLimit = 2 * count;
  for (int symbol = 0; symbol < count; ++symbol) {
    const int len = length[symbol];
    if (len == 0) continue;
    const uint32_t first = start[len];
    const uint32_t span = 1u << (kMaxCodeBits - len);
    start[len] = first + span;
    if (len <= tableBits) {
      for (uint32_t i = first >> dropBits; i < (first + span) >> dropBits; ++i) table[i] = static_cast<uint16_t>(symbol);
      continue;
    }
    // The table entry of the first tableBits bits leads into a tree, one bit per level.
    uint16_t* slot = &table[first >> dropBits];
    for (int bit = kMaxCodeBits - 1 - tableBits; bit > kMaxCodeBits - 1 - len; --bit) {
      if (*slot == kEmpty) {
        if (nextNode >= nodeLimit) return false;
        left[nextNode] = right[nextNode] = kEmpty;
        *slot = static_cast<uint16_t>(nextNode++);
      } else if (*slot < count) {
        return false;  // a shorter code is a prefix of this one
      }
      slot = (first >> bit & 1) ? &right[*slot] : &left[*slot];
    }
    if (*slot != kEmpty) return false;
    *slot = static_cast<uint16_t>(symbol);
  }
  return true;
}

}  // namespace orv::lh5

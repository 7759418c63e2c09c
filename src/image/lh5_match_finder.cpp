#include "image/lh5_match_finder.h"

#include <new>

namespace orv::lh5 {

namespace {
template <typename T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}
}  // namespace

bool MatchFinder::Allocate(int dictionaryBits, int maxMatch) {
  Free();
  dictSize_ = 1u << dictionaryBits;
  maxMatch_ = static_cast<uint32_t>(maxMatch);
  hashShift_ = dictionaryBits - 9;
  const uint32_t d = dictSize_;
  // Largest hash value: the last root (D + 255) with byte 255.
  const uint32_t hashSize = 3 * d + (d / 512 + 1) * 255;
  text_ = TryAllocate<uint8_t>(2 * d + maxMatch_);
  level_ = TryAllocate<uint8_t>(d + 256);
  childCount_ = TryAllocate<uint8_t>(d + 256);
  position_ = TryAllocate<uint16_t>(d + 256);
  parent_ = TryAllocate<uint16_t>(2 * d);
  prev_ = TryAllocate<uint16_t>(2 * d);
  next_ = TryAllocate<uint16_t>(hashSize + 1);
  if (text_ && level_ && childCount_ && position_ && parent_ && prev_ && next_) return true;
  Free();
  return false;
}

void MatchFinder::Free() {
  text_.reset();
  level_.reset();
  childCount_.reset();
  position_.reset();
  parent_.reset();
  prev_.reset();
  next_.reset();
}

void MatchFinder::Init() {
  const uint32_t d = dictSize_;
  for (uint32_t i = d; i <= d + 255; ++i) {
    level_[i] = 1;
    position_[i] = 0;  // stops the climbs of Insert and Delete at the roots
    childCount_[i] = 0;
  }
  for (uint32_t i = d; i < 2 * d; ++i) parent_[i] = 0;
  avail_ = 1;
  for (uint32_t i = 1; i < d - 1; ++i) next_[i] = static_cast<uint16_t>(i + 1);
  next_[d - 1] = 0;
  const uint32_t hashSize = 3 * d + (d / 512 + 1) * 255;
  for (uint32_t i = 2 * d; i <= hashSize; ++i) next_[i] = 0;
  matchLength = 0;
  matchPosition = 0;
}

inline uint16_t MatchFinder::Child(const Arrays& a, uint16_t node, uint8_t c) const {
  uint16_t r = a.next[Hash(node, c)];
  a.parent[0] = node;  // sentinel: the walk ends at 0 when no child matches
  while (a.parent[r] != node) r = a.next[r];
  return r;
}

inline void MatchFinder::MakeChild(const Arrays& a, uint16_t parentNode, uint8_t c, uint16_t child) const {
  const uint16_t h = Hash(parentNode, c);
  const uint16_t t = a.next[h];
  a.next[h] = child;
  a.next[child] = t;
  a.prev[t] = child;
  a.prev[child] = h;
  a.parent[child] = parentNode;
  ++a.childCount[parentNode];
}

// Puts a new internal node of level matchLength above `old`, with `old` and the current
// position as its two children.
void MatchFinder::Split(const Arrays& a, uint16_t old) {
  const uint16_t node = avail_;
  avail_ = a.next[node];
  a.childCount[node] = 0;
  uint16_t t = a.prev[old];
  a.prev[node] = t;
  a.next[t] = node;
  t = a.next[old];
  a.next[node] = t;
  a.prev[t] = node;
  a.parent[node] = a.parent[old];
  a.level[node] = static_cast<uint8_t>(matchLength);
  a.position[node] = static_cast<uint16_t>(position);
  const uint8_t* text = a.text;
  MakeChild(a, node, text[matchPosition + matchLength], old);
  MakeChild(a, node, text[position + matchLength], static_cast<uint16_t>(position));
}

void MatchFinder::Insert() {
  const Arrays a = Raw();
  const uint32_t d = dictSize_;
  const uint8_t* text = a.text;
  uint16_t q;
  uint16_t r;
  // The previous position matched at least 4 bytes: the string one byte further on matches at
  // least matchLength - 1 bytes of the string after the previous match, so the search starts at
  // that string's deepest node of a smaller level instead of at the root. Not when that string
  // is the leaf Delete has just taken out (a match found a whole window back): its links are
  // stale, and the search starts at the root.
  if (matchLength >= 4 && ((matchPosition + 1) | d) != position) {
    --matchLength;
    r = static_cast<uint16_t>((matchPosition + 1) | d);
    while ((q = a.parent[r]) == 0) r = a.next[r];  // a replaced leaf points at its successor
    while (a.level[q] >= matchLength) {
      r = q;
      q = a.parent[q];
    }
    uint16_t t = q;
    while (a.position[t] & kPositionFlag) {
      a.position[t] = static_cast<uint16_t>(position);
      t = a.parent[t];
    }
    if (t < d) a.position[t] = static_cast<uint16_t>(position | kPositionFlag);
  } else {
    q = static_cast<uint16_t>(text[position] + d);
    const uint8_t c = text[position + 1];
    r = Child(a, q, c);
    if (r == 0) {
      MakeChild(a, q, c, static_cast<uint16_t>(position));
      matchLength = 1;
      return;
    }
    matchLength = 2;
  }

  for (;;) {
    uint32_t end;
    if (r >= d) {
      end = maxMatch_;
      matchPosition = r;
    } else {
      end = a.level[r];
      matchPosition = a.position[r] & ~kPositionFlag;
    }
    if (matchPosition >= position) matchPosition -= d;
    const uint8_t* here = text + position;
    const uint8_t* there = text + matchPosition;
    while (matchLength < end) {
      if (here[matchLength] != there[matchLength]) {
        Split(a, r);
        return;
      }
      ++matchLength;
    }
    if (matchLength >= maxMatch_) break;
    a.position[r] = static_cast<uint16_t>(position);
    q = r;
    r = Child(a, q, here[matchLength]);
    if (r == 0) {
      MakeChild(a, q, here[matchLength], static_cast<uint16_t>(position));
      return;
    }
    ++matchLength;
  }

  // A full-length match: the new position takes the old leaf's place in the chain; the old leaf
  // keeps a link to it so that a later Insert starting from it finds its way into the tree.
  const uint16_t p = static_cast<uint16_t>(position);
  uint16_t t = a.prev[r];
  a.prev[p] = t;
  a.next[t] = p;
  t = a.next[r];
  a.next[p] = t;
  a.prev[t] = p;
  a.parent[p] = q;
  a.parent[r] = 0;
  a.next[r] = p;
}

void MatchFinder::Delete() {
  const Arrays a = Raw();
  const uint32_t d = dictSize_;
  const uint16_t p = static_cast<uint16_t>(position);
  if (a.parent[p] == 0) return;
  uint16_t r = a.prev[p];
  uint16_t s = a.next[p];
  a.next[r] = s;
  a.prev[s] = r;
  r = a.parent[p];
  a.parent[p] = 0;
  if (r >= d || --a.childCount[r] > 1) return;

  // r is an internal node left with one child: splice the child into r's place, and pass the
  // newest position of the subtree up through the flagged ancestors.
  uint32_t t = a.position[r] & ~kPositionFlag;
  if (t >= position) t -= d;
  uint32_t newest = t;
  uint16_t q = a.parent[r];
  uint32_t u;
  while ((u = a.position[q]) & kPositionFlag) {
    u &= ~kPositionFlag;
    if (u >= position) u -= d;
    if (u > newest) newest = u;
    a.position[q] = static_cast<uint16_t>(newest | d);
    q = a.parent[q];
  }
  if (q < d) {
    if (u >= position) u -= d;
    if (u > newest) newest = u;
    a.position[q] = static_cast<uint16_t>(newest | d | kPositionFlag);
  }
  s = Child(a, r, a.text[t + a.level[r]]);
  uint16_t x = a.prev[s];
  uint16_t y = a.next[s];
  a.next[x] = y;
  a.prev[y] = x;
  x = a.prev[r];
  a.next[x] = s;
  a.prev[s] = x;
  x = a.next[r];
  a.prev[x] = s;
  a.next[s] = x;
  a.parent[s] = a.parent[r];
  a.parent[r] = 0;
  a.next[r] = avail_;
  avail_ = r;
}

}  // namespace orv::lh5

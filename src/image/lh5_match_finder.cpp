#include "image/lh5_match_finder.h"

#include <new>

namespace orv::lh5 {

namespace {
template <typename T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

constexpr uint16_t kPositionFlag = 0x8000;  // position to be refreshed on the next pass

// The chain of the children of `node` whose strings go on with byte c starts at this slot of
// the next array, above the 2D node numbers.
template <int Bits>
inline uint32_t Hash(uint32_t node, uint8_t c) {
  return node + (uint32_t{c} << (Bits - 9)) + (2u << Bits);
}

template <int Bits, typename Arrays>
inline uint16_t Child(const Arrays& a, uint16_t node, uint8_t c) {
  uint16_t r = a.next[Hash<Bits>(node, c)];
  a.parent[0] = node;  // sentinel: the walk ends at 0 when no child matches
  while (a.parent[r] != node) r = a.next[r];
  return r;
}

template <int Bits, typename Arrays>
inline void MakeChild(const Arrays& a, uint16_t parentNode, uint8_t c, uint16_t child) {
  const uint16_t h = static_cast<uint16_t>(Hash<Bits>(parentNode, c));
  const uint16_t t = a.next[h];
  a.next[h] = child;
  a.next[child] = t;
  a.prev[t] = child;
  a.prev[child] = h;
  a.parent[child] = parentNode;
  ++a.childCount[parentNode];
}
}  // namespace

bool MatchFinder::Allocate(int dictionaryBits, int maxMatch) {
  Free();
  if (!((dictionaryBits == 13 && maxMatch == 256) || (dictionaryBits == 12 && maxMatch == 60))) return false;
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

// Puts a new internal node of level `length` above `old`, with `old` (whose string starts at
// `from`) and the position `at` as its two children.
template <int Bits>
[[gnu::always_inline]] inline void MatchFinder::Split(const Arrays& a, uint16_t old, uint32_t at, uint32_t length, uint32_t from) {
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
  a.level[node] = static_cast<uint8_t>(length);
  a.position[node] = static_cast<uint16_t>(at);
  const uint8_t* text = a.text;
  MakeChild<Bits>(a, node, text[from + length], old);
  MakeChild<Bits>(a, node, text[at + length], static_cast<uint16_t>(at));
}

template <int Bits, uint32_t MaxMatch>
[[gnu::always_inline]] inline void MatchFinder::InsertAt(const Arrays& a) {
  constexpr uint32_t d = 1u << Bits;
  const uint8_t* text = a.text;
  const uint32_t at = position;
  uint32_t length = matchLength;
  uint32_t from = matchPosition;
  uint16_t q;
  uint16_t r;
  // The previous position matched at least 4 bytes: the string one byte further on matches at
  // least matchLength - 1 bytes of the string after the previous match, so the search starts at
  // that string's deepest node of a smaller level instead of at the root. Not when that string
  // is the leaf Delete has just taken out (a match found a whole window back): its links are
  // stale, and the search starts at the root.
  if (length >= 4 && ((from + 1) | d) != at) {
    --length;
    r = static_cast<uint16_t>((from + 1) | d);
    while ((q = a.parent[r]) == 0) r = a.next[r];  // a replaced leaf points at its successor
    while (a.level[q] >= length) {
      r = q;
      q = a.parent[q];
    }
    uint16_t t = q;
    while (a.position[t] & kPositionFlag) {
      a.position[t] = static_cast<uint16_t>(at);
      t = a.parent[t];
    }
    if (t < d) a.position[t] = static_cast<uint16_t>(at | kPositionFlag);
  } else {
    q = static_cast<uint16_t>(text[at] + d);
    const uint8_t c = text[at + 1];
    r = Child<Bits>(a, q, c);
    if (r == 0) {
      MakeChild<Bits>(a, q, c, static_cast<uint16_t>(at));
      matchLength = 1;
      return;
    }
    length = 2;
  }

  const uint8_t* here = text + at;
  for (;;) {
    uint32_t end;
    if (r >= d) {
      end = MaxMatch;
      from = r;
    } else {
      end = a.level[r];
      from = a.position[r] & ~kPositionFlag;
    }
    if (from >= at) from -= d;
    const uint8_t* there = text + from;
    while (length < end) {
      if (here[length] != there[length]) {
        matchLength = length;
        matchPosition = from;
        Split<Bits>(a, r, at, length, from);
        return;
      }
      ++length;
    }
    if (length >= MaxMatch) break;
    a.position[r] = static_cast<uint16_t>(at);
    q = r;
    r = Child<Bits>(a, q, here[length]);
    if (r == 0) {
      MakeChild<Bits>(a, q, here[length], static_cast<uint16_t>(at));
      matchLength = length;
      matchPosition = from;
      return;
    }
    ++length;
  }
  matchLength = length;
  matchPosition = from;

  // A full-length match: the new position takes the old leaf's place in the chain; the old leaf
  // keeps a link to it so that a later Insert starting from it finds its way into the tree.
  const uint16_t p = static_cast<uint16_t>(at);
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

template <int Bits>
[[gnu::always_inline]] inline void MatchFinder::DeleteAt(const Arrays& a) {
  constexpr uint32_t d = 1u << Bits;
  const uint32_t at = position;
  const uint16_t p = static_cast<uint16_t>(at);
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
  if (t >= at) t -= d;
  uint32_t newest = t;
  uint16_t q = a.parent[r];
  uint32_t u;
  while ((u = a.position[q]) & kPositionFlag) {
    u &= ~kPositionFlag;
    if (u >= at) u -= d;
    if (u > newest) newest = u;
    a.position[q] = static_cast<uint16_t>(newest | d);
    q = a.parent[q];
  }
  if (q < d) {
    if (u >= at) u -= d;
    if (u > newest) newest = u;
    a.position[q] = static_cast<uint16_t>(newest | d | kPositionFlag);
  }
  s = Child<Bits>(a, r, a.text[t + a.level[r]]);
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

void MatchFinder::Insert() {
  if (LargeWindow()) {
    InsertAt<13, 256>(Raw());
  } else {
    InsertAt<12, 60>(Raw());
  }
}

void MatchFinder::Delete() {
  if (LargeWindow()) {
    DeleteAt<13>(Raw());
  } else {
    DeleteAt<12>(Raw());
  }
}

template <int Bits, uint32_t MaxMatch>
void MatchFinder::AdvanceBy(const Arrays& a, uint32_t count) {
  for (; count > 0; --count) {
    ++position;
    DeleteAt<Bits>(a);
    InsertAt<Bits, MaxMatch>(a);
  }
}

void MatchFinder::Advance(uint32_t count) {
  if (LargeWindow()) {
    AdvanceBy<13, 256>(Raw(), count);
  } else {
    AdvanceBy<12, 60>(Raw(), count);
  }
}

void MatchFinder::DeleteAndInsert() {
  const Arrays a = Raw();
  if (LargeWindow()) {
    DeleteAt<13>(a);
    InsertAt<13, 256>(a);
  } else {
    DeleteAt<12>(a);
    InsertAt<12, 60>(a);
  }
}

}  // namespace orv::lh5

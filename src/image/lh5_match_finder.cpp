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

uint16_t MatchFinder::Child(uint16_t node, uint8_t c) {
  uint16_t r = next_[Hash(node, c)];
  parent_[0] = node;  // sentinel: the walk ends at 0 when no child matches
  while (parent_[r] != node) r = next_[r];
  return r;
}

void MatchFinder::MakeChild(uint16_t parentNode, uint8_t c, uint16_t child) {
  const uint16_t h = Hash(parentNode, c);
  const uint16_t t = next_[h];
  next_[h] = child;
  next_[child] = t;
  prev_[t] = child;
  prev_[child] = h;
  parent_[child] = parentNode;
  ++childCount_[parentNode];
}

// Puts a new internal node of level matchLength above `old`, with `old` and the current
// position as its two children.
void MatchFinder::Split(uint16_t old) {
  const uint16_t node = avail_;
  avail_ = next_[node];
  childCount_[node] = 0;
  uint16_t t = prev_[old];
  prev_[node] = t;
  next_[t] = node;
  t = next_[old];
  next_[node] = t;
  prev_[t] = node;
  parent_[node] = parent_[old];
  level_[node] = static_cast<uint8_t>(matchLength);
  position_[node] = static_cast<uint16_t>(position);
  const uint8_t* text = text_.get();
  MakeChild(node, text[matchPosition + matchLength], old);
  MakeChild(node, text[position + matchLength], static_cast<uint16_t>(position));
}

void MatchFinder::Insert() {
  const uint32_t d = dictSize_;
  const uint8_t* text = text_.get();
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
    while ((q = parent_[r]) == 0) r = next_[r];  // a replaced leaf points at its successor
    while (level_[q] >= matchLength) {
      r = q;
      q = parent_[q];
    }
    uint16_t t = q;
    while (position_[t] & kPositionFlag) {
      position_[t] = static_cast<uint16_t>(position);
      t = parent_[t];
    }
    if (t < d) position_[t] = static_cast<uint16_t>(position | kPositionFlag);
  } else {
    q = static_cast<uint16_t>(text[position] + d);
    const uint8_t c = text[position + 1];
    r = Child(q, c);
    if (r == 0) {
      MakeChild(q, c, static_cast<uint16_t>(position));
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
      end = level_[r];
      matchPosition = position_[r] & ~kPositionFlag;
    }
    if (matchPosition >= position) matchPosition -= d;
    const uint8_t* a = text + position;
    const uint8_t* b = text + matchPosition;
    while (matchLength < end) {
      if (a[matchLength] != b[matchLength]) {
        Split(r);
        return;
      }
      ++matchLength;
    }
    if (matchLength >= maxMatch_) break;
    position_[r] = static_cast<uint16_t>(position);
    q = r;
    r = Child(q, a[matchLength]);
    if (r == 0) {
      MakeChild(q, a[matchLength], static_cast<uint16_t>(position));
      return;
    }
    ++matchLength;
  }

  // A full-length match: the new position takes the old leaf's place in the chain; the old leaf
  // keeps a link to it so that a later Insert starting from it finds its way into the tree.
  const uint16_t p = static_cast<uint16_t>(position);
  uint16_t t = prev_[r];
  prev_[p] = t;
  next_[t] = p;
  t = next_[r];
  next_[p] = t;
  prev_[t] = p;
  parent_[p] = q;
  parent_[r] = 0;
  next_[r] = p;
}

void MatchFinder::Delete() {
  const uint32_t d = dictSize_;
  const uint16_t p = static_cast<uint16_t>(position);
  if (parent_[p] == 0) return;
  uint16_t r = prev_[p];
  uint16_t s = next_[p];
  next_[r] = s;
  prev_[s] = r;
  r = parent_[p];
  parent_[p] = 0;
  if (r >= d || --childCount_[r] > 1) return;

  // r is an internal node left with one child: splice the child into r's place, and pass the
  // newest position of the subtree up through the flagged ancestors.
  uint32_t t = position_[r] & ~kPositionFlag;
  if (t >= position) t -= d;
  uint32_t newest = t;
  uint16_t q = parent_[r];
  uint32_t u;
  while ((u = position_[q]) & kPositionFlag) {
    u &= ~kPositionFlag;
    if (u >= position) u -= d;
    if (u > newest) newest = u;
    position_[q] = static_cast<uint16_t>(newest | d);
    q = parent_[q];
  }
  if (q < d) {
    if (u >= position) u -= d;
    if (u > newest) newest = u;
    position_[q] = static_cast<uint16_t>(newest | d | kPositionFlag);
  }
  s = Child(r, text_[t + level_[r]]);
  uint16_t a = prev_[s];
  uint16_t b = next_[s];
  next_[a] = b;
  prev_[b] = a;
  a = prev_[r];
  next_[a] = s;
  prev_[s] = a;
  a = next_[r];
  prev_[a] = s;
  next_[s] = a;
  parent_[s] = parent_[r];
  parent_[r] = 0;
  next_[r] = avail_;
  avail_ = r;
}

}  // namespace orv::lh5

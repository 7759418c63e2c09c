// The encoder's match finder: a digital search tree over the last D text positions, its
// children reached through a hash of (node, next byte). All arrays use 16-bit node numbers and
// are allocated once per stream; nothing is allocated per symbol.
//
// Node numbers: 0 is none; 1..D-1 are internal nodes (taken from a free list); D + c is the root
// of the strings starting with byte c; text positions, kept in D..2D-1 by the slide, are leaves.
#pragma once

#include <cstdint>
#include <memory>

namespace orv::lh5 {

class MatchFinder {
 public:
  // Allocates the text buffer and the tree for a 2^dictionaryBits window and matches of up to
  // maxMatch bytes: 13 bits and 256 bytes, or 12 bits and 60 bytes (the two methods; the tree
  // code is compiled for each). Returns false for other values or when memory cannot be had.
  bool Allocate(int dictionaryBits, int maxMatch);
  void Free();

  // Empties the tree: roots of level 1 with no position, no parents, every hash slot empty, free
  // list 1..D-1.
  void Init();
  // Adds `position` to the tree and leaves in matchLength/matchPosition the longest earlier
  // string that matches the text there (up to maxMatch; the most recent one of that length).
  void Insert();
  // Removes the leaf `position`, which holds the text D bytes back.
  void Delete();
  // Delete, then Insert: the step of the parse from one position to the next.
  void DeleteAndInsert();
  // `count` such steps, each after moving `position` one on. The position stays below 2D
  // (the caller slides the text first).
  void Advance(uint32_t count);

  uint32_t DictionarySize() const { return dictSize_; }
  uint32_t MaxMatch() const { return maxMatch_; }
  uint8_t* Text() { return text_.get(); }
  uint32_t TextSize() const { return 2 * dictSize_ + maxMatch_; }

  uint32_t position = 0;       // current text position, D..2D-1
  uint32_t matchLength = 0;
  uint32_t matchPosition = 0;  // text index of the match, below `position`

 private:
  // The arrays as plain pointers, copied into a local at the top of each hot function: stores
  // through the byte arrays could otherwise alias the members and force reloads.
  struct Arrays {
    uint8_t* text;
    uint8_t* level;
    uint8_t* childCount;
    uint16_t* position;
    uint16_t* parent;
    uint16_t* prev;
    uint16_t* next;
  };
  Arrays Raw() const {
    return {text_.get(), level_.get(), childCount_.get(), position_.get(), parent_.get(), prev_.get(), next_.get()};
  }
  // The tree's operations for one window size and longest match, so that the sizes, the hash
  // and the loop bounds are constants of the compiled code.
  template <int Bits, uint32_t MaxMatch>
  void InsertAt(const Arrays& a);
  template <int Bits>
  void DeleteAt(const Arrays& a);
  template <int Bits, uint32_t MaxMatch>
  void AdvanceBy(const Arrays& a, uint32_t count);
  template <int Bits>
  void Split(const Arrays& a, uint16_t old, uint32_t at, uint32_t length, uint32_t from);
  bool LargeWindow() const { return dictSize_ == 1u << 13; }

  uint32_t dictSize_ = 0;
  uint32_t maxMatch_ = 0;
  int hashShift_ = 0;
  uint16_t avail_ = 0;  // head of the free list of internal nodes
  std::unique_ptr<uint8_t[]> text_;
  std::unique_ptr<uint8_t[]> level_;       // D + 256: string length of internal nodes and roots
  std::unique_ptr<uint8_t[]> childCount_;  // D + 256
  std::unique_ptr<uint16_t[]> position_;   // D + 256: most recent text position below the node
  std::unique_ptr<uint16_t[]> parent_;     // 2D
  std::unique_ptr<uint16_t[]> prev_;       // 2D: sibling chain, back
  std::unique_ptr<uint16_t[]> next_;       // hash size + 1: sibling chain, forward, from the hash slot
};

}  // namespace orv::lh5

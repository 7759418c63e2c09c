// Huffman codes of the LH5 stream: building a length-limited canonical code from symbol
// frequencies (encoder) and turning a table of code lengths into a lookup table with a tree for
// the codes longer than the table (decoder).
#pragma once

#include <cstdint>

namespace orv::lh5 {

// Builds code lengths (at most 16 bits) and canonical codes for the `count` symbols of `freq`.
// Returns the root: with fewer than two used symbols, that symbol (or 0 when none is used), whose
// length is left 0 - the stream then names it instead of sending a table; otherwise a number
// >= count. Within one length, codes are given in symbol order; shorter codes come first.
int MakeHuffmanCode(int count, const uint32_t* freq, uint8_t* length, uint16_t* code);

// Fills `table` (1 << tableBits entries, indexed by the next tableBits bits of the stream) for
// the code of `count` symbols with the given lengths. Codes longer than tableBits continue into
// a tree: the entry is a node number >= count whose children are left[node] (bit 0) and
// right[node] (bit 1); left and right need room for 2 * count nodes. Returns false when a length
// exceeds 16 or the lengths do not fill the code space exactly (incomplete or over-subscribed).
bool MakeDecodeTable(int count, const uint8_t* length, int tableBits, uint16_t* table,
                     uint16_t* left, uint16_t* right);

}  // namespace orv::lh5

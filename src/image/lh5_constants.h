// Fixed parameters of the "-lh5-" bit stream (LZ77 over an 8 KiB window, then static Huffman
// coding in blocks of symbols).
#pragma once

#include <cstdint>

namespace orv::lh5 {

constexpr int kDictionaryBits = 13;      // 8192-byte window
constexpr int kMaxMatch = 256;           // longest copy
constexpr int kThreshold = 3;            // shortest copy; shorter repeats go out as literals
constexpr int kNC = 256 + kMaxMatch - kThreshold + 1;  // 510: literals and lengths 3..256
constexpr int kMaxNP = kDictionaryBits + 1;            // 14: bit lengths 0..13 of a position value
constexpr int kNT = 16 + 3;              // 19: code-length code (lengths 1..16 and three zero-run symbols)
constexpr int kCBit = 9;                 // width of the literal/length count fields
constexpr int kPBit = 4;                 // width of the position count fields
constexpr int kTBit = 5;                 // width of the code-length-code count fields
constexpr int kMaxCodeBits = 16;         // longest Huffman code
constexpr int kLengthSymbolBias = 256 - kThreshold;    // symbol = match length + 253
constexpr uint32_t kSymbolBufferBytes = 16384;
constexpr uint32_t kDecodeRingBytes = 8192;
constexpr int kLiteralTableBits = 12;    // decoder lookup on the next 12 bits
constexpr int kSmallTableBits = 8;       // positions and code lengths: next 8 bits

// Fail codes the codec raises.
constexpr int kFailCancelled = 1;
constexpr int kFailNoDictionary = 2;
constexpr int kFailBadTable = 3;
constexpr int kFailTruncated = 4;
constexpr int kFailShortWrite = 7;

}  // namespace orv::lh5

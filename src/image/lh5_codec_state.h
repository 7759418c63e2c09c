// The working state of the LH5 encoder and decoder, shared by the files that implement them.
// Not part of the codec's interface.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "image/lh5_constants.h"
#include "image/lh5_match_finder.h"

namespace orv::lh5 {

struct EncoderState {
  MatchFinder finder;
  uint32_t positionSymbols = kMaxNP;  // window bits + 1
  int64_t lookahead = 0;              // bytes of input at and after the current position
  bool inputEnded = false;
  uint64_t limit = 0;                 // output limit, 0 = none
  uint64_t bytesRead = 0;
  uint64_t bytesWritten = 0;  // bytes WriteOutput has taken
  uint64_t bytesOut = 0;      // bytes of the stream so far, written or waiting in `out`

  // Pending symbols of one Huffman block: groups of 8, each after a flag byte whose bits (most
  // significant first) say literal (0, one byte) or match (1, three bytes).
  std::unique_ptr<uint8_t[]> symbols;
  uint32_t symbolsSize = 0;
  uint32_t symbolsPos = 0;
  uint32_t flagPos = 0;
  uint32_t flagMask = 0;

  std::array<uint32_t, kNC> literalFreq{};
  std::array<uint32_t, kMaxNP> positionFreq{};
  std::array<uint32_t, kNT> codeLengthFreq{};
  std::array<uint8_t, kNC> literalLength{};
  std::array<uint16_t, kNC> literalCode{};
  std::array<uint8_t, kNT> smallLength{};  // code-length code, then position code
  std::array<uint16_t, kNT> smallCode{};

  // The low bitCount bits of bitBuffer are the bits not yet written out; higher bits are stale.
  uint64_t bitBuffer = 0;
  int bitCount = 0;
  // Completed bytes wait here and go to WriteOutput in one call when it fills and at the end,
  // rather than one virtual call per byte.
  static constexpr uint32_t kOutBytes = 4096;
  uint32_t outFill = 0;
  std::array<uint8_t, kOutBytes> out;
};

struct DecoderState {
  std::unique_ptr<uint8_t[]> ring;  // kDecodeRingBytes, 0x20 before the first byte
  uint32_t writePos = 0;
  uint32_t blockLeft = 0;            // symbols left in the current Huffman block
  uint32_t positionSymbols = kMaxNP;

  std::array<uint8_t, kNC> literalLength{};
  std::array<uint16_t, 1u << kLiteralTableBits> literalTable{};
  std::array<uint8_t, kNT> smallLength{};
  std::array<uint16_t, 1u << kSmallTableBits> smallTable{};
  std::array<uint16_t, 2 * kNC> left{};
  std::array<uint16_t, 2 * kNC> right{};

  uint64_t bitBuffer = 0;  // left-aligned: the next bit of the stream is bit 63
  int bitCount = 0;
  uint64_t inputLeft = 0;  // compressed bytes it may still read
  uint64_t bytesLoaded = 0;  // bytes shifted into bitBuffer, padding included
  uint32_t padBytes = 0;   // bytes shifted in past the compressed data
};

}  // namespace orv::lh5

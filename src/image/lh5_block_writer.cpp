// The LH5 encoder's output: symbols are buffered for one Huffman block, then the block goes out
// as its code tables followed by the coded symbols, packed most significant bit first.
#include <algorithm>
#include <array>
#include <bit>

#include "image/lh5_codec.h"
#include "image/lh5_codec_state.h"
#include "image/lh5_huffman.h"
#include "toolkit/endian.h"

namespace orv {

using namespace lh5;

namespace {

int BitLength(uint32_t value) { return std::bit_width(value); }

// Number of entries left after dropping the trailing zero lengths.
template <typename Array>
int UsedLength(const Array& lengths, int count) {
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

// The literal/length code lengths as the code-length code carries them, up to the last non-zero
// one: a length k > 0 is symbol k + 2; a run of zero lengths is 1-2 times symbol 0 (one per
// zero), symbol 1 and 4 bits of run - 3 (3-18 zeros), symbols 0 and 1 and 4 bits of 15 (19 zeros),
// or symbol 2 and 9 bits of run - 20 (20 or more). `symbol(s)` gets each code-length symbol,
// `bits(count, value)` the plain bits that follow it. Counting the frequencies and writing the
// lengths walk the same way, so the code built from the counts fits what is written.
template <typename Symbol, typename Bits>
void WalkLiteralLengths(const std::array<uint8_t, kNC>& lengths, Symbol symbol, Bits bits) {
  const int n = UsedLength(lengths, kNC);
  int i = 0;
  while (i < n) {
    const int k = lengths[i++];
    if (k != 0) {
      symbol(k + 2);
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int j = 0; j < run; ++j) symbol(0);
    } else if (run <= 18) {
      symbol(1);
      bits(4, static_cast<uint32_t>(run - 3));
    } else if (run == 19) {
      symbol(0);
      symbol(1);
      bits(4, 15);
    } else {
      symbol(2);
      bits(kCBit, static_cast<uint32_t>(run - 20));
    }
  }
}

}  // namespace

// Completed bytes collect in the output buffer. With an output limit, the byte that would reach
// it is not written and the encoder stops.
inline void Lh5Codec::EmitByte(uint8_t value) {
  EncoderState& e = *enc_;
  if (e.limit != 0 && e.bytesOut >= e.limit) {
    outputLimitReached = true;
    return;
  }
  e.out[e.outFill++] = value;
  ++e.bytesOut;
  if (e.outFill == EncoderState::kOutBytes) FlushOutput();
}

// Hands the buffered bytes to WriteOutput; a short write fails the run (code 7).
void Lh5Codec::FlushOutput() {
  EncoderState& e = *enc_;
  if (e.outFill == 0) return;
  const int64_t written = WriteOutput(outputHandle, e.out.data(), e.outFill);
  if (written > 0) e.bytesWritten += static_cast<uint64_t>(std::min<int64_t>(written, e.outFill));
  if (written != static_cast<int64_t>(e.outFill)) Raise(kFailShortWrite);
  e.outFill = 0;
}

// Writes the low `count` bits of value (count <= 16), most significant first. Without an
// output limit the bits go out 32 at a time (fewer than 32 wait before the call, so the 64-bit
// buffer holds them all); with one, byte by byte, so that the encoder stops at the byte that
// reaches it.
inline void Lh5Codec::PutBits(int count, uint32_t value) {
  EncoderState& e = *enc_;
  e.bitBuffer = (e.bitBuffer << count) | (value & ((1u << count) - 1));
  e.bitCount += count;
  if (e.limit == 0) {
    if (e.bitCount >= 32) {
      e.bitCount -= 32;
      // Only whole words go into the buffer until the last flush, so a word always fits.
      PutBe32(e.out.data() + e.outFill, static_cast<uint32_t>(e.bitBuffer >> e.bitCount));
      e.outFill += 4;
      e.bytesOut += 4;
      if (e.outFill == EncoderState::kOutBytes) FlushOutput();
    }
    return;
  }
  while (e.bitCount >= 8) {
    e.bitCount -= 8;
    EmitByte(static_cast<uint8_t>(e.bitBuffer >> e.bitCount));
  }
}

// The whole bytes still waiting in the bit buffer; the bits that do not complete a byte are
// dropped.
void Lh5Codec::FlushBits() {
  EncoderState& e = *enc_;
  while (e.bitCount >= 8) {
    e.bitCount -= 8;
    EmitByte(static_cast<uint8_t>(e.bitBuffer >> e.bitCount));
  }
}

// Buffers one symbol: a literal (symbol < 256) or a match (length symbol and position value).
void Lh5Codec::OutputSymbol(uint32_t symbol, uint32_t positionValue) {
  EncoderState& e = *enc_;
  if ((e.flagMask >>= 1) == 0) {
    e.flagMask = 0x80;
    if (e.symbolsPos >= e.symbolsSize - 24) {
      SendBlock();
      if (outputLimitReached) return;
      e.symbolsPos = 0;
    }
    e.flagPos = e.symbolsPos++;
    e.symbols[e.flagPos] = 0;
  }
  e.symbols[e.symbolsPos++] = static_cast<uint8_t>(symbol);
  ++e.literalFreq[symbol];
  if (symbol >= 256) {
    e.symbols[e.flagPos] = static_cast<uint8_t>(e.symbols[e.flagPos] | e.flagMask);
    e.symbols[e.symbolsPos++] = static_cast<uint8_t>(positionValue >> 8);
    e.symbols[e.symbolsPos++] = static_cast<uint8_t>(positionValue);
    ++e.positionFreq[BitLength(positionValue)];
  }
}

// The code-length code counts the literal/length code lengths as WalkLiteralLengths folds them.
void Lh5Codec::CountCodeLengthFrequencies() {
  EncoderState& e = *enc_;
  e.codeLengthFreq.fill(0);
  WalkLiteralLengths(e.literalLength, [&](int symbol) { ++e.codeLengthFreq[symbol]; }, [](int, uint32_t) {});
}

// A table of code lengths: the count, then each length as 3 bits (0..6) or as k - 3 bits of
// ones ending in a zero (7 or more). After the `special`-th length, a 2-bit count of the zero
// lengths that follow (up to the sixth entry), which are then skipped.
void Lh5Codec::WriteLengths(int count, int countBits, int special) {
  EncoderState& e = *enc_;
  const int n = UsedLength(e.smallLength, count);
  PutBits(countBits, static_cast<uint32_t>(n));
  int i = 0;
  while (i < n) {
    const int k = e.smallLength[i++];
    if (k <= 6) {
      PutBits(3, static_cast<uint32_t>(k));
    } else {
      PutBits(k - 3, (1u << (k - 3)) - 2);
    }
    if (i == special) {
      while (i < 6 && e.smallLength[i] == 0) ++i;
      PutBits(2, static_cast<uint32_t>(i - 3) & 3);
    }
  }
}

// The literal/length code lengths, sent through the code-length code with the zero runs folded
// as CountCodeLengthFrequencies counted them.
void Lh5Codec::WriteLiteralLengths() {
  EncoderState& e = *enc_;
  PutBits(kCBit, static_cast<uint32_t>(UsedLength(e.literalLength, kNC)));
  WalkLiteralLengths(
      e.literalLength, [&](int symbol) { PutBits(e.smallLength[symbol], e.smallCode[symbol]); },
      [&](int count, uint32_t value) { PutBits(count, value); });
}

void Lh5Codec::SendBlock() {
  EncoderState& e = *enc_;
  uint32_t symbolCount = 0;
  for (uint32_t f : e.literalFreq) symbolCount += f;

  const int literalRoot = MakeHuffmanCode(kNC, e.literalFreq.data(), e.literalLength.data(), e.literalCode.data());
  PutBits(16, symbolCount);
  if (literalRoot >= kNC) {
    CountCodeLengthFrequencies();
    const int root = MakeHuffmanCode(kNT, e.codeLengthFreq.data(), e.smallLength.data(), e.smallCode.data());
    if (root >= kNT) {
      WriteLengths(kNT, kTBit, 3);
    } else {
      PutBits(kTBit, 0);
      PutBits(kTBit, static_cast<uint32_t>(root));
    }
    WriteLiteralLengths();
  } else {
    PutBits(kTBit, 0);
    PutBits(kTBit, 0);
    PutBits(kCBit, 0);
    PutBits(kCBit, static_cast<uint32_t>(literalRoot));
  }

  const int np = static_cast<int>(e.positionSymbols);
  const int positionRoot = MakeHuffmanCode(np, e.positionFreq.data(), e.smallLength.data(), e.smallCode.data());
  if (positionRoot >= np) {
    WriteLengths(np, kPBit, -1);
  } else {
    PutBits(kPBit, 0);
    PutBits(kPBit, static_cast<uint32_t>(positionRoot));
  }

  uint32_t pos = 0;
  uint32_t flags = 0;
  for (uint32_t i = 0; i < symbolCount; ++i) {
    if (i % 8 == 0) {
      flags = e.symbols[pos++];
    } else {
      flags <<= 1;
    }
    if (flags & 0x80) {
      const uint32_t symbol = e.symbols[pos++] + 256u;
      PutBits(e.literalLength[symbol], e.literalCode[symbol]);
      const uint32_t value = uint32_t{e.symbols[pos]} << 8 | e.symbols[pos + 1];
      pos += 2;
      const int bits = BitLength(value);
      PutBits(e.smallLength[bits], e.smallCode[bits]);
      if (bits > 1) PutBits(bits - 1, value);
    } else {
      const uint32_t symbol = e.symbols[pos++];
      PutBits(e.literalLength[symbol], e.literalCode[symbol]);
    }
    if (outputLimitReached) return;
  }
  e.literalFreq.fill(0);
  e.positionFreq.fill(0);
}

// The last block, then 7 zero bits: they push out the last partly filled byte; bits that do not
// complete a byte are dropped.
void Lh5Codec::FlushHuffman() {
  if (outputLimitReached) return;
  SendBlock();
  PutBits(7, 0);
  FlushBits();
}

}  // namespace orv

// The LH5 decoder: Huffman blocks of literal/length and position symbols, each block preceded by
// its code tables, expanded through an 8 KiB ring that starts filled with spaces. Every table
// read from the stream is checked before use, so a malformed stream ends the run instead of
// leading the lookups outside their arrays.
#include <algorithm>
#include <cstring>
#include <new>

#include "image/lh5_codec.h"
#include "image/lh5_codec_state.h"
#include "image/lh5_huffman.h"

namespace orv {

using namespace lh5;

namespace {
// A well-formed stream never needs a bit past its compressed size; the bit reader looks up to
// 8 bytes ahead. Beyond this many bytes of padding the stream is known to be cut short, and the
// run ends instead of expanding filler into a possibly huge uncompressed size.
constexpr uint32_t kMaxPadBytes = 64;
constexpr uint16_t kNoNode = 0xFFFF;
}  // namespace

int Lh5Codec::DecodeSetup() {
  DecodeFree();
  auto state = std::unique_ptr<DecoderState>(new (std::nothrow) DecoderState);
  if (!state) return -1;
  state->ring.reset(new (std::nothrow) uint8_t[kDecodeRingBytes]);
  if (!state->ring) return -1;
  std::memset(state->ring.get(), 0x20, kDecodeRingBytes);
  const int bits = method == 1 ? 12 : kDictionaryBits;
  state->positionSymbols = static_cast<uint32_t>(bits + 1);
  dec_ = std::move(state);
  return 0;
}

void Lh5Codec::DecodeFree() { dec_.reset(); }

int Lh5Codec::Decode() {
  compressedUsed = 0;
  int result = 0;
  try {
    RunDecode();
  } catch (const Lh5Failure& failure) {
    result = failure.code;
  }
  if (dec_) {
    const uint64_t bitsUsed = dec_->bytesLoaded * 8 - static_cast<uint64_t>(dec_->bitCount);
    compressedUsed = (bitsUsed + 7) / 8;
  }
  return result;
}

// Keeps at least 57 bits in the buffer: enough for one literal/length code (16 bits), one
// position code (16) and its extra bits (12). Past the compressed size zero bits come in; a
// byte the input cannot deliver counts as 0xFF.
void Lh5Codec::LoadBits() {
  DecoderState& s = *dec_;
  while (s.bitCount <= 56) {
    uint8_t byte = 0;
    if (s.inputLeft == 0) {
      ++s.padBytes;
    } else {
      --s.inputLeft;
      if (ReadInput(inputHandle, &byte, 1) != 1) {
        byte = 0xFF;
        ++s.padBytes;
      }
    }
    s.bitBuffer |= uint64_t{byte} << (56 - s.bitCount);
    s.bitCount += 8;
    ++s.bytesLoaded;
  }
  if (s.padBytes > kMaxPadBytes) Raise(kFailTruncated);
}

uint32_t Lh5Codec::PeekBits(int count) const {
  return static_cast<uint32_t>(dec_->bitBuffer >> (64 - count));
}

void Lh5Codec::DropBits(int count) {
  dec_->bitBuffer <<= count;
  dec_->bitCount -= count;
}

uint32_t Lh5Codec::GetBits(int count) {
  if (count == 0) return 0;
  LoadBits();
  const uint32_t value = PeekBits(count);
  DropBits(count);
  return value;
}

// A table of up to `count` code lengths written in 3 bits each (7 and more as a run of ones
// ending in a zero), with the 2-bit zero count after the `special`-th entry; a count of 0 means
// the code has one symbol, named in the next countBits bits, and takes no bits per use.
void Lh5Codec::ReadSmallLengths(int count, int countBits, int special) {
  DecoderState& s = *dec_;
  const uint32_t n = GetBits(countBits);
  if (n == 0) {
    const uint32_t symbol = GetBits(countBits);
    if (symbol >= static_cast<uint32_t>(count)) Raise(kFailBadTable);
    s.smallLength.fill(0);
    s.smallTable.fill(static_cast<uint16_t>(symbol));
    return;
  }
  if (n > static_cast<uint32_t>(count)) Raise(kFailBadTable);
  s.smallLength.fill(0);
  int i = 0;
  while (i < static_cast<int>(n)) {
    LoadBits();
    int length = static_cast<int>(PeekBits(3));
    if (length == 7) {
      uint64_t mask = uint64_t{1} << (63 - 3);
      while (s.bitBuffer & mask) {
        mask >>= 1;
        if (++length > kMaxCodeBits) Raise(kFailBadTable);
      }
    }
    DropBits(length < 7 ? 3 : length - 3);
    s.smallLength[i++] = static_cast<uint8_t>(length);
    if (i == special) {
      uint32_t zeros = GetBits(2);
      while (zeros-- > 0) {
        if (i >= count) Raise(kFailBadTable);
        s.smallLength[i++] = 0;
      }
    }
  }
  if (!MakeDecodeTable(count, s.smallLength.data(), kSmallTableBits, s.smallTable.data(), s.left.data(), s.right.data())) {
    Raise(kFailBadTable);
  }
}

// The literal/length code lengths, coded with the code-length code: symbols 0, 1 and 2 are runs
// of zero lengths (1, 3 + 4 bits, 20 + 9 bits), symbol k + 2 is a length k.
void Lh5Codec::ReadLiteralLengths() {
  DecoderState& s = *dec_;
  const uint32_t n = GetBits(kCBit);
  if (n == 0) {
    const uint32_t symbol = GetBits(kCBit);
    if (symbol >= static_cast<uint32_t>(kNC)) Raise(kFailBadTable);
    s.literalLength.fill(0);
    s.literalTable.fill(static_cast<uint16_t>(symbol));
    return;
  }
  if (n > static_cast<uint32_t>(kNC)) Raise(kFailBadTable);
  s.literalLength.fill(0);
  uint32_t i = 0;
  while (i < n) {
    LoadBits();
    uint32_t c = s.smallTable[PeekBits(kSmallTableBits)];
    uint64_t mask = uint64_t{1} << (63 - kSmallTableBits);
    while (c >= static_cast<uint32_t>(kNT)) {
      if (c == kNoNode || mask == 0) Raise(kFailBadTable);
      c = (s.bitBuffer & mask) ? s.right[c] : s.left[c];
      mask >>= 1;
    }
    DropBits(s.smallLength[c]);
    if (c > 2) {
      s.literalLength[i++] = static_cast<uint8_t>(c - 2);
      continue;
    }
    const uint32_t run = c == 0 ? 1 : c == 1 ? GetBits(4) + 3 : GetBits(kCBit) + 20;
    if (run > static_cast<uint32_t>(kNC) - i) Raise(kFailBadTable);
    i += run;  // already zero
  }
  if (!MakeDecodeTable(kNC, s.literalLength.data(), kLiteralTableBits, s.literalTable.data(), s.left.data(), s.right.data())) {
    Raise(kFailBadTable);
  }
}

void Lh5Codec::ReadBlockTables() {
  DecoderState& s = *dec_;
  s.blockLeft = GetBits(16);
  // An encoder writes a block of 0 symbols only for empty input, which is never decoded.
  if (s.blockLeft == 0) Raise(kFailBadTable);
  ReadSmallLengths(kNT, kTBit, 3);
  ReadLiteralLengths();
  ReadSmallLengths(static_cast<int>(s.positionSymbols), kPBit, -1);
}

uint32_t Lh5Codec::DecodeLiteral() {
  DecoderState& s = *dec_;
  if (s.blockLeft == 0) ReadBlockTables();
  --s.blockLeft;
  LoadBits();
  uint32_t c = s.literalTable[PeekBits(kLiteralTableBits)];
  if (c >= static_cast<uint32_t>(kNC)) {
    uint64_t mask = uint64_t{1} << (63 - kLiteralTableBits);
    do {
      if (c == kNoNode || mask == 0) Raise(kFailBadTable);
      c = (s.bitBuffer & mask) ? s.right[c] : s.left[c];
      mask >>= 1;
    } while (c >= static_cast<uint32_t>(kNC));
  }
  DropBits(s.literalLength[c]);
  return c;
}

// The distance back minus one: a code for its bit length c, then its low c - 1 bits (c = 0 and
// 1 stand for the values themselves). Needs no refill: DecodeLiteral left enough bits.
uint32_t Lh5Codec::DecodePosition() {
  DecoderState& s = *dec_;
  const uint32_t np = s.positionSymbols;
  uint32_t c = s.smallTable[PeekBits(kSmallTableBits)];
  if (c >= np) {
    uint64_t mask = uint64_t{1} << (63 - kSmallTableBits);
    do {
      if (c == kNoNode || mask == 0) Raise(kFailBadTable);
      c = (s.bitBuffer & mask) ? s.right[c] : s.left[c];
      mask >>= 1;
    } while (c >= np);
  }
  DropBits(s.smallLength[c]);
  if (c <= 1) return c;
  const uint32_t extra = PeekBits(static_cast<int>(c - 1));
  DropBits(static_cast<int>(c - 1));
  return (1u << (c - 1)) + extra;
}

void Lh5Codec::FlushRing(uint32_t count) {
  if (count == 0) return;
  const uint8_t* ring = dec_->ring.get();
  CountUncompressed(ring, count);
  if (WriteOutput(outputHandle, ring, count) != static_cast<int64_t>(count)) Raise(kFailShortWrite);
}

void Lh5Codec::RunDecode() {
  if (!dec_) Raise(kFailNoDictionary);
  DecoderState& s = *dec_;
  s.inputLeft = compressedSize;
  s.bytesLoaded = 0;
  s.padBytes = 0;
  s.bitBuffer = 0;
  s.bitCount = 0;
  s.blockLeft = 0;
  s.writePos = 0;
  crc16 = 0;
  crc16Bytes = 0;
  LoadBits();

  constexpr uint32_t kMask = kDecodeRingBytes - 1;
  uint8_t* ring = s.ring.get();
  uint32_t w = 0;
  const uint64_t total = uncompressedSize;
  uint64_t produced = 0;
  try {
    while (produced < total) {
      const uint32_t c = DecodeLiteral();
      if (c < 256) {
        ring[w++] = static_cast<uint8_t>(c);
        ++produced;
        if (w == kDecodeRingBytes) {
          FlushRing(w);
          w = 0;
        }
        continue;
      }
      const uint32_t distance = DecodePosition() + 1;
      uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(c - kLengthSymbolBias, total - produced));
      produced += length;
      uint32_t from = (w - distance) & kMask;
      while (length > 0) {
        const uint32_t piece = std::min({length, kDecodeRingBytes - w, kDecodeRingBytes - from});
        if (distance >= piece && (from < w || from >= w + piece)) {
          std::memcpy(ring + w, ring + from, piece);
        } else {
          for (uint32_t k = 0; k < piece; ++k) ring[w + k] = ring[from + k];  // overlapping: repeats
        }
        w += piece;
        from = (from + piece) & kMask;
        length -= piece;
        if (w == kDecodeRingBytes) {
          FlushRing(w);
          w = 0;
        }
      }
    }
  } catch (const Lh5Failure& failure) {
    // A malformed stream: the bytes decoded before the fault still go out, so that a reader
    // counts (and checks) everything the block held up to there. A failed write or a cancel
    // ends the run as it stands.
    if (failure.code != kFailShortWrite && failure.code != kFailCancelled) {
      try {
        FlushRing(w);
      } catch (const Lh5Failure&) {
      }
    }
    throw;
  }
  FlushRing(w);
  s.writePos = w;
}

}  // namespace orv

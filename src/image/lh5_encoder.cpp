// The LH5 encoder's parse: greedy matching with a one-symbol lookahead over a sliding text
// buffer of 2·D + maximum-match bytes.
#include <algorithm>
#include <cstring>
#include <new>

#include "image/lh5_codec.h"
#include "image/lh5_codec_state.h"

namespace orv {

using namespace lh5;

namespace {
constexpr uint32_t kSmallestSymbolBuffer = 4096;
}  // namespace

int Lh5Codec::EncodeAlloc(int encodeMethod) {
  EncodeFree();
  const bool small = encodeMethod == 1;
  const int bits = small ? 12 : kDictionaryBits;
  const int maxMatch = small ? 60 : kMaxMatch;
  auto state = std::unique_ptr<EncoderState>(new (std::nothrow) EncoderState);
  if (!state || !state->finder.Allocate(bits, maxMatch)) return -1;
  // The symbol buffer may shrink (smaller Huffman blocks, still the same stream format); the
  // window may not: a 4 KiB window is another method than the "-lh5-" the block is labelled.
  uint32_t size = kSymbolBufferBytes;
  while (size >= kSmallestSymbolBuffer) {
    state->symbols.reset(new (std::nothrow) uint8_t[size]);
    if (state->symbols) break;
    size = size / 10 * 9;
  }
  if (!state->symbols) return -1;
  state->symbolsSize = size;
  state->positionSymbols = static_cast<uint32_t>(bits + 1);
  dictionaryBits = bits;
  enc_ = std::move(state);
  return encodeMethod == 5 ? bits - 8 : encodeMethod;
}

void Lh5Codec::EncodeFree() { enc_.reset(); }

int Lh5Codec::Encode() {
  if (!enc_) {
    Fail(kFailNoDictionary);
    return kFailNoDictionary;
  }
  int result = 0;
  try {
    RunEncode();
  } catch (const Lh5Failure& failure) {
    result = failure.code;
  }
  uncompressedSize = enc_->bytesRead;
  compressedSize = enc_->bytesWritten;
  return result;
}

// Reads up to `count` bytes, asking again after a short read so that the text buffer never has
// a gap; 0 once the input has ended.
uint32_t Lh5Codec::ReadText(uint8_t* dest, uint32_t count) {
  EncoderState& e = *enc_;
  uint32_t done = 0;
  while (done < count && !e.inputEnded) {
    int64_t got = ReadInput(inputHandle, dest + done, count - done);
    if (got <= 0) {
      e.inputEnded = true;
      break;
    }
    CountUncompressed(dest + done, static_cast<uint32_t>(got));
    done += static_cast<uint32_t>(got);
  }
  e.bytesRead += done;
  return done;
}

// Moves `count` bytes on. At each, when the position reaches 2·D the buffer slides back by D and
// takes the next D bytes of input; then the leaf of the position D bytes back leaves the tree
// and the new position enters it. The steps between two slides go to the tree in one call.
inline void Lh5Codec::Advance(uint32_t count) {
  EncoderState& e = *enc_;
  MatchFinder& f = e.finder;
  const uint32_t last = 2 * f.DictionarySize() - 1;
  while (count > 0) {
    if (f.position == last) {
      Slide();
      --count;
      continue;
    }
    const uint32_t steps = std::min(count, last - f.position);
    e.lookahead -= steps;
    f.Advance(steps);
    count -= steps;
  }
}

// The step onto position 2·D: the text moves back by D, the next D bytes of input follow it,
// and the step lands on position D.
void Lh5Codec::Slide() {
  EncoderState& e = *enc_;
  MatchFinder& f = e.finder;
  const uint32_t d = f.DictionarySize();
  --e.lookahead;
  uint8_t* text = f.Text();
  std::memmove(text, text + d, d + f.MaxMatch());
  e.lookahead += ReadText(text + d + f.MaxMatch(), d);
  f.position = d;
  f.DeleteAndInsert();
}

void Lh5Codec::RunEncode() {
  EncoderState& e = *enc_;
  MatchFinder& f = e.finder;
  const uint32_t d = f.DictionarySize();
  e.limit = uncompressedSize;
  e.bytesRead = 0;
  e.bytesWritten = 0;
  e.inputEnded = false;
  outputLimitReached = false;
  crc16 = 0;
  crc16Bytes = 0;
  f.Init();
  e.literalFreq.fill(0);
  e.positionFreq.fill(0);
  e.symbolsPos = 0;
  e.flagPos = 0;
  e.flagMask = 0;
  e.bitBuffer = 0;
  e.bitCount = 0;
  e.bytesOut = 0;
  e.outFill = 0;

  // Bytes past the input are spaces, so that the tree's comparisons beyond the last byte are
  // the same from run to run (the reported lengths are clamped to the input anyway).
  std::memset(f.Text(), 0x20, f.TextSize());
  f.position = d + f.MaxMatch();
  e.lookahead = ReadText(f.Text() + f.position, d);
  f.matchLength = 0;
  f.Insert();
  if (f.matchLength > e.lookahead) f.matchLength = static_cast<uint32_t>(e.lookahead);

  const uint8_t* text = f.Text();
  while (e.lookahead > 0 && !outputLimitReached) {
    uint32_t lastLength = f.matchLength;
    const uint32_t lastPosition = f.matchPosition;
    Advance(1);
    if (f.matchLength > e.lookahead) f.matchLength = static_cast<uint32_t>(e.lookahead);
    if (f.matchLength > lastLength || lastLength < static_cast<uint32_t>(kThreshold)) {
      OutputSymbol(text[f.position - 1], 0);
    } else {
      OutputSymbol(lastLength + kLengthSymbolBias, (f.position - lastPosition - 2) & (d - 1));
      Advance(lastLength - 1);
      if (f.matchLength > e.lookahead) f.matchLength = static_cast<uint32_t>(e.lookahead);
    }
  }
  FlushHuffman();
  FlushOutput();
}

}  // namespace orv

// Lh5Codec compresses one image block into a "-lh5-" bit stream and expands such a stream. It
// knows nothing about files or threads: it pulls input and pushes output through virtual
// operations, which the threaded streams override. The defaults read and write a BinaryFile.
//
// A stream it writes is a standard "-lh5-" stream that any decoder of the method reads given the
// uncompressed and compressed sizes; its decoder reads any such stream and, on a malformed one,
// stops at the uncompressed size or fails without touching memory outside its buffers.
#pragma once

#include <cstdint>
#include <memory>

#include "image/binary_file.h"
#include "image/lh5_constants.h"

namespace orv {

namespace lh5 {
struct EncoderState;
struct DecoderState;
}  // namespace lh5

// What a raising Fail throws; Encode and Decode catch it, ending the run where it stands.
struct Lh5Failure {
  int code;
};

class Lh5Codec {
 public:
  Lh5Codec();
  virtual ~Lh5Codec();
  Lh5Codec(const Lh5Codec&) = delete;
  Lh5Codec& operator=(const Lh5Codec&) = delete;

  // Handles passed back to ReadInput and WriteOutput; none is nullptr.
  BinaryFile* inputHandle = nullptr;
  BinaryFile* outputHandle = nullptr;
  // Encoder: a limit on the output (0 = none) and, on return, the bytes read. Decoder: the
  // bytes to produce.
  uint64_t uncompressedSize = 0;
  // Encoder: on return, the bytes written. Decoder: the bytes it may read.
  uint64_t compressedSize = 0;
  // Decoder, on return: the bytes of the stream that the decoded symbols took, rounded up to a
  // whole byte; the bytes the bit reader loaded ahead of them do not count. A stream that ends
  // exactly at its compressed size has this equal to it.
  uint64_t compressedUsed = 0;
  int dictionaryBits = lh5::kDictionaryBits;
  int method = 5;
  // CRC-16/ARC of the uncompressed bytes, with the progress and cancel calls that go with it.
  bool crc16Enabled = false;
  uint16_t crc16 = 0;
  uint64_t crc16Bytes = 0;  // bytes counted while the switch is on
  void* cancelCookie = nullptr;
  // Set when the output reached a non-zero limit; the encoder then stops.
  bool outputLimitReached = false;

  // Method 1: 4 KiB window and matches of up to 60 bytes; any other: 8 KiB window. Returns
  // dictionaryBits - 8 (5) for method 5, the method number for any other, and -1 when memory
  // cannot be had: the block then fails, since a smaller window would write a stream that is
  // not of the method the block names.
  int EncodeAlloc(int encodeMethod);
  // Reads all input until ReadInput returns 0 or less and writes the whole stream. Returns 0,
  // or the Fail code that ended the run.
  int Encode();
  void EncodeFree();

  // Allocates the 0x20-filled dictionary ring. 0 or -1.
  int DecodeSetup();
  // Produces exactly uncompressedSize bytes through WriteOutput, reading at most
  // compressedSize bytes. Returns 0, or the Fail code that ended the run; a run ended by a
  // malformed stream first hands out the bytes it decoded before the fault.
  int Decode();
  void DecodeFree();

 protected:
  virtual int64_t ReadInput(BinaryFile* handle, uint8_t* buffer, uint32_t count);
  virtual int64_t WriteOutput(BinaryFile* handle, const uint8_t* buffer, uint32_t count);
  virtual int64_t Seek(BinaryFile* handle, int64_t offset, int origin);
  virtual int IsCancelled(void* cookie);
  virtual int Progress(void* cookie, int kind, uint64_t count);
  // Streams raise the code (throw Lh5Failure); the default returns, and the codec ends its run
  // all the same rather than carry on from a broken state.
  virtual int Fail(int code);

 private:
  [[noreturn]] void Raise(int code);
  void CountUncompressed(const uint8_t* data, uint32_t count);

  // Encoder (lh5_encoder.cpp, lh5_block_writer.cpp).
  void RunEncode();
  uint32_t ReadText(uint8_t* dest, uint32_t count);
  void Advance(uint32_t count);
  void Slide();
  void PutBits(int count, uint32_t value);
  void EmitByte(uint8_t value);
  void FlushOutput();
  void FlushBits();
  void OutputSymbol(uint32_t symbol, uint32_t positionValue);
  void SendBlock();
  void WriteLengths(int count, int countBits, int special);
  void WriteLiteralLengths();
  void CountCodeLengthFrequencies();
  void FlushHuffman();

  // Decoder (lh5_decoder.cpp).
  void RunDecode();
  void LoadBits();
  uint32_t PeekBits(int count) const;
  void DropBits(int count);
  uint32_t GetBits(int count);
  void ReadBlockTables();
  void ReadSmallLengths(int count, int countBits, int special);
  void ReadLiteralLengths();
  uint32_t DecodeLiteral();
  uint32_t DecodePosition();
  void FlushRing(uint32_t count);

  std::unique_ptr<lh5::EncoderState> enc_;
  std::unique_ptr<lh5::DecoderState> dec_;
};

}  // namespace orv

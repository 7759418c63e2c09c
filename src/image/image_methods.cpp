// The two block methods of the image file: stored (the bytes as they are) and LH5 (through the
// threaded encode and decode streams, with an 8 KiB window, method 5 and the codec's own CRC-16
// off: a block's integrity rests on its BlockCrc alone).
#include "image/image_file.h"
#include "image/lh5_decode_stream.h"
#include "image/lh5_encode_stream.h"

namespace orv {

const ImageFile::WriterOps ImageFile::kWriterOps[2] = {
    {&ImageFile::StoredWriteStart, &ImageFile::StoredWrite, &ImageFile::StoredWriteFinish},
    {&ImageFile::Lh5WriteStart, &ImageFile::Lh5Write, &ImageFile::Lh5WriteFinish},
};

const ImageFile::ReaderOps ImageFile::kReaderOps[2] = {
    {&ImageFile::StoredReadStart, &ImageFile::StoredRead, &ImageFile::StoredReadFinish},
    {&ImageFile::Lh5ReadStart, &ImageFile::Lh5Read, &ImageFile::Lh5ReadFinish},
};

// A block the admission refused: nothing is read and nothing is delivered.
const ImageFile::ReaderOps ImageFile::kRefusedOps = {&ImageFile::RefusedStart, &ImageFile::RefusedRead,
                                                     &ImageFile::StoredReadFinish};

namespace {
void SetLh5Parameters(Lh5Codec& codec) {
  codec.dictionaryBits = lh5::kDictionaryBits;
  codec.method = 5;
  codec.crc16Enabled = false;
}
}  // namespace

int ImageFile::StoredWriteStart(ImageFile&) { return 0; }

int64_t ImageFile::StoredWrite(ImageFile& f, const uint8_t* data, uint64_t count) {
  const int64_t written = f.writerFile_.Write(data, count);
  if (written > 0) f.writerBlock_->storedBytes += static_cast<uint64_t>(written);
  return written;
}

int ImageFile::StoredWriteFinish(ImageFile&) { return 0; }

int ImageFile::Lh5WriteStart(ImageFile& f) {
  if (!f.encoder_) f.encoder_ = std::make_unique<Lh5EncodeStream>();
  Lh5EncodeStream& stream = *f.encoder_;
  SetLh5Parameters(stream);
  stream.inputHandle = nullptr;
  stream.outputHandle = &f.writerFile_;
  stream.uncompressedSize = 0;
  return stream.Start();
}

int64_t ImageFile::Lh5Write(ImageFile& f, const uint8_t* data, uint64_t count) {
  return static_cast<int64_t>(f.encoder_->Write(count, data));
}

// The stream's length is the block's stored size. An encoder that stopped early (memory, a short
// file write) leaves a block that cannot be read back: the block fails.
int ImageFile::Lh5WriteFinish(ImageFile& f) {
  Lh5EncodeStream& stream = *f.encoder_;
  stream.Close();
  f.writerBlock_->storedBytes = stream.compressedSize;
  return stream.RunResult() == 0 ? 0 : -1;
}

int ImageFile::StoredReadStart(ImageFile& f) {
  f.readerStoredLeft_ = f.readerBlock_->header.storedSize;
  return 0;
}

int64_t ImageFile::StoredRead(ImageFile& f, uint8_t* buffer, uint64_t count) {
  const uint64_t asked = count < f.readerStoredLeft_ ? count : f.readerStoredLeft_;
  if (asked == 0) return 0;
  const int64_t got = f.readerFile_.Read(buffer, asked);
  if (got > 0) f.readerStoredLeft_ -= static_cast<uint64_t>(got);
  return got;
}

int ImageFile::StoredReadFinish(ImageFile&) { return 0; }

int ImageFile::Lh5ReadStart(ImageFile& f) {
  if (!f.decoder_) f.decoder_ = std::make_unique<Lh5DecodeStream>();
  Lh5DecodeStream& stream = *f.decoder_;
  SetLh5Parameters(stream);
  stream.inputHandle = &f.readerFile_;
  stream.outputHandle = nullptr;
  stream.uncompressedSize = f.readerBlock_->header.uncompressedSize;
  stream.compressedSize = f.readerBlock_->header.storedSize;
  stream.compressedUsed = 0;
  return stream.Start();
}

int64_t ImageFile::Lh5Read(ImageFile& f, uint8_t* buffer, uint64_t count) {
  return static_cast<int64_t>(f.decoder_->Read(count, buffer));
}

// The decoder's worker reads the image file: it must have stopped before the block's verdict
// looks at what it consumed. That is the bytes its symbols took, not the file position: the bit
// reader loads up to 8 bytes ahead, and a stored size overstated by as much would otherwise
// pass (the next header then sought in the wrong place). A block of no data decodes nothing;
// its stream counts as taken as far as the bit reader loaded it.
int ImageFile::Lh5ReadFinish(ImageFile& f) {
  Lh5DecodeStream& stream = *f.decoder_;
  stream.Close();
  if (f.readerBlock_->header.uncompressedSize != 0) f.readerStreamUsed_ = static_cast<int64_t>(stream.compressedUsed);
  return 0;
}

int ImageFile::RefusedStart(ImageFile&) { return 0; }

int64_t ImageFile::RefusedRead(ImageFile&, uint8_t*, uint64_t) { return 0; }

}  // namespace orv

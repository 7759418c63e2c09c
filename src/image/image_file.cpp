#include "image/image_file.h"

#include <limits>

#include "image/lh5_decode_stream.h"
#include "image/lh5_encode_stream.h"

namespace orv {

ImageFile::ImageFile() = default;

ImageFile::~ImageFile() {
  // The workers use the files: stop them before the files close.
  decoder_.reset();
  encoder_.reset();
}

// ---- writer ----

int ImageFile::CreateImage(const std::filesystem::path& path) {
  if (writerFile_.IsOpen()) return -1;
  if (writerFile_.Open(path, BinaryFile::Mode::kCreate) != 0) {
    lastError_ = writerFile_.LastError();
    return -1;
  }
  blocks_.clear();
  readerBlock_ = nullptr;
  writerBlocks_ = 0;
  writerDataStarted_ = false;
  writerOps_ = nullptr;
  writerBlock_ = nullptr;
  return 0;
}

BlockHeader* ImageFile::BeginBlock(int method) {
  if (!writerFile_.IsOpen() || (method != 0 && method != 1)) return nullptr;
  // A block still current is ended first: its method may still be writing to the file, and the
  // new header must not go out in the middle of its data.
  if (writerBlock_ != nullptr && EndBlock() != 0) return nullptr;
  ImageBlock block;
  block.method = static_cast<BlockMethod>(method);
  block.header.methodName = NameOfMethod(block.method);
  crc_.Reset();
  blocks_.push_back(block);
  writerBlock_ = &blocks_.back();
  writerDataStarted_ = false;
  ++writerBlocks_;
  return &writerBlock_->header;
}

// At the first data of a block: the header goes out as it stands (the caller's fields in place,
// sizes and CRC still 0), then the method starts.
int ImageFile::StartBlockData() {
  const int64_t offset = writerFile_.Tell();
  if (offset < 0) return -1;
  writerBlock_->headerOffset = static_cast<uint64_t>(offset);
  uint8_t raw[kBlockHeaderSize];
  StoreBlockHeader(writerBlock_->header, raw);
  if (writerFile_.Write(raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return -1;
  writerOps_ = &kWriterOps[static_cast<int>(writerBlock_->method)];
  if (writerOps_->start(*this) != 0) return -1;
  writerDataStarted_ = true;
  return 0;
}

int64_t ImageFile::WriteBlockData(uint64_t count, const void* data) {
  if (!writerFile_.IsOpen() || writerBlock_ == nullptr) return -1;
  if (!writerDataStarted_ && StartBlockData() != 0) return -1;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const int64_t accepted = writerOps_->transfer(*this, bytes, count);
  if (accepted < 0 || static_cast<uint64_t>(accepted) < count) lastError_ = writerFile_.LastError();
  if (accepted > 0) {
    crc_.Update(bytes, static_cast<size_t>(accepted));
    writerBlock_->uncompressedBytes += static_cast<uint64_t>(accepted);
  }
  return accepted;
}

int ImageFile::EndBlock() {
  if (!writerFile_.IsOpen() || writerBlock_ == nullptr) return -1;
  // A block begun without data still becomes a whole block (header and an empty stream), so
  // the file stays walkable.
  if (!writerDataStarted_ && StartBlockData() != 0) return -1;
  int result = writerOps_->finish(*this);
  ImageBlock& block = *writerBlock_;
  block.header.storedSize = block.storedBytes;
  block.header.uncompressedSize = block.uncompressedBytes;
  block.header.crc = crc_.Value();
  uint8_t raw[kBlockHeaderSize];
  StoreBlockHeader(block.header, raw);
  const int64_t end = writerFile_.Tell();
  if (end < 0 || writerFile_.Seek(static_cast<int64_t>(block.headerOffset), BinaryFile::kBegin) < 0 ||
      writerFile_.Write(raw, sizeof raw) != static_cast<int64_t>(sizeof raw) ||
      writerFile_.Seek(end, BinaryFile::kBegin) != end) {
    result = -1;
  }
  writerBlock_ = nullptr;
  writerDataStarted_ = false;
  writerOps_ = nullptr;
  if (result != 0) lastError_ = writerFile_.LastError();
  return result;
}

int ImageFile::CloseWriter() {
  if (!writerFile_.IsOpen()) return 0;
  int result = 0;
  if (writerBlock_ != nullptr && EndBlock() != 0) result = -1;
  const uint8_t trailer = 0;
  if (writerFile_.Write(&trailer, 1) != 1) result = -1;
  if (writerFile_.Close() != 0) result = -1;
  if (result != 0 && writerFile_.LastError() != 0) lastError_ = writerFile_.LastError();
  return result;
}

// ---- reader ----

// Reads the header at the current position and leaves the file at the block's data. A header
// is accepted only with the magic, a known method and a length of at least 60 bytes (a shorter
// one would stop the walk from moving forward). A header not accepted leaves its offset in
// block.headerOffset and the reason in *refusal.
bool ImageFile::ReadHeader(BinaryFile& file, ImageBlock& block, WalkEnd* refusal) {
  block = ImageBlock{};
  const int64_t offset = file.Tell();
  if (offset < 0) {
    *refusal = WalkEnd::kReadFailed;
    return false;
  }
  block.headerOffset = static_cast<uint64_t>(offset);
  uint8_t raw[kBlockHeaderSize];
  if (file.Read(raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) {
    *refusal = WalkEnd::kHeaderCut;
    return false;
  }
  const BlockHeader header = LoadBlockHeader(raw);
  const int method = MethodOfName(header.methodName);
  // The next header must lie within what a file offset can address.
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  const uint64_t dataOffset = static_cast<uint64_t>(offset) + header.headerLength;
  if (header.magic != kBlockMagic) {
    *refusal = WalkEnd::kBadMagic;
  } else if (method < 0) {
    *refusal = WalkEnd::kBadMethod;
  } else if (header.headerLength < kBlockHeaderSize) {
    *refusal = WalkEnd::kBadHeaderLength;
  } else if (header.storedSize > kMaxOffset - dataOffset) {
    *refusal = WalkEnd::kUnaddressable;
  } else if (file.Seek(static_cast<int64_t>(dataOffset), BinaryFile::kBegin) < 0) {
    *refusal = WalkEnd::kReadFailed;
  } else {
    block.header = header;
    block.method = static_cast<BlockMethod>(method);
    block.storedBytes = header.storedSize;
    return true;
  }
  return false;
}

// The walk stopped at `stop`, where no header was accepted for `refusal`: what the bytes there
// make of the file. Only a single 0x00 that is the file's last byte ends a complete file; a 0x00
// with more bytes after it is the closing byte of a file that something was appended to (a
// header never starts with 0x00). Leaves the file at `stop`.
ImageWalk ImageFile::ConcludeWalk(BinaryFile& file, uint64_t stop, WalkEnd refusal, size_t blocks) {
  ImageWalk walk;
  walk.blocks = blocks;
  walk.offset = stop;
  const int64_t size = file.Seek(0, BinaryFile::kEnd);
  if (size < 0) {
    walk.end = WalkEnd::kReadFailed;
    return walk;
  }
  walk.fileSize = static_cast<uint64_t>(size);
  // Past the end of the file, whatever stopped the walk there: a seek beyond what the file
  // system allows for a file fails rather than land past the end.
  if (stop > walk.fileSize) {
    walk.end = WalkEnd::kDataCut;
    return walk;
  }
  if (refusal == WalkEnd::kReadFailed) {
    walk.end = WalkEnd::kReadFailed;
    return walk;
  }
  if (stop == walk.fileSize) {
    walk.end = WalkEnd::kNoClosingByte;
    return walk;
  }
  const uint64_t left = walk.fileSize - stop;
  uint8_t first = 0;
  if (file.Seek(static_cast<int64_t>(stop), BinaryFile::kBegin) < 0 || file.Read(&first, 1) != 1) {
    walk.end = WalkEnd::kReadFailed;
  } else if (first == 0) {
    walk.end = left == 1 ? WalkEnd::kComplete : WalkEnd::kBytesAfterClosing;
  } else if (left == 1) {
    walk.end = WalkEnd::kBadClosingByte;
    walk.byte = first;
  } else if (refusal == WalkEnd::kHeaderCut && left >= kBlockHeaderSize) {
    walk.end = WalkEnd::kReadFailed;  // a whole header is there, but could not be read
  } else {
    walk.end = refusal;
  }
  file.Seek(static_cast<int64_t>(stop), BinaryFile::kBegin);
  return walk;
}

int ImageFile::ListBlocks(const std::filesystem::path& path) {
  if (readerFile_.IsOpen()) return -1;
  walk_ = ImageWalk{};
  if (readerFile_.Open(path, BinaryFile::Mode::kRead) != 0) {
    lastError_ = readerFile_.LastError();
    return -1;
  }
  blocks_.clear();
  writerBlock_ = nullptr;
  readerBlock_ = nullptr;
  int count = 0;
  ImageBlock block;
  WalkEnd refusal = WalkEnd::kReadFailed;
  uint64_t next = 0;  // where the next header belongs
  while (ReadHeader(readerFile_, block, &refusal)) {
    blocks_.push_back(block);
    ++count;
    next = block.headerOffset + block.header.headerLength + block.header.storedSize;
    if (readerFile_.Seek(static_cast<int64_t>(next), BinaryFile::kBegin) < 0) {
      refusal = WalkEnd::kReadFailed;
      break;
    }
  }
  walk_ = ConcludeWalk(readerFile_, next, refusal, blocks_.size());
  readerFile_.Close();
  return count;
}

int ImageFile::OpenForRead(const std::filesystem::path& path) {
  if (readerFile_.IsOpen()) return -1;
  walk_ = ImageWalk{};
  if (readerFile_.Open(path, BinaryFile::Mode::kRead) != 0) {
    lastError_ = readerFile_.LastError();
    return -1;
  }
  blocks_.clear();
  writerBlock_ = nullptr;
  readerBlock_ = nullptr;
  readerBlocks_ = 0;
  readerNext_ = 0;
  readerDataStarted_ = false;
  readerOps_ = nullptr;
  return 0;
}

const BlockHeader* ImageFile::NextBlock() {
  if (!readerFile_.IsOpen()) return nullptr;
  if (readerBlock_ != nullptr) EndReadBlock();
  // The next header is where the last block's stored size says, or nowhere if the file cannot
  // be positioned there.
  ImageBlock block;
  WalkEnd refusal = WalkEnd::kReadFailed;
  const int64_t at = static_cast<int64_t>(readerNext_);
  if ((readerFile_.Tell() != at && readerFile_.Seek(at, BinaryFile::kBegin) != at) ||
      !ReadHeader(readerFile_, block, &refusal)) {
    walk_ = ConcludeWalk(readerFile_, readerNext_, refusal, blocks_.size());
    return nullptr;
  }
  crc_.Reset();
  ++readerBlocks_;
  readerStreamUsed_ = -1;
  block.refused = admission_ && !admission_(block.header);
  blocks_.push_back(block);
  readerBlock_ = &blocks_.back();
  readerOps_ = block.refused ? &kRefusedOps : &kReaderOps[static_cast<int>(block.method)];
  if (readerOps_->start(*this) != 0) {
    blocks_.pop_back();
    readerBlock_ = nullptr;
    readerOps_ = nullptr;
    walk_ = ImageWalk{WalkEnd::kReadFailed, blocks_.size(), block.headerOffset, 0, 0};
    return nullptr;
  }
  readerDataStarted_ = true;
  return &readerBlock_->header;
}

int64_t ImageFile::ReadBlockData(uint64_t count, void* buffer) {
  if (readerBlock_ == nullptr) return -1;
  auto* bytes = static_cast<uint8_t*>(buffer);
  const int64_t delivered = readerOps_->transfer(*this, bytes, count);
  if (delivered > 0) {
    crc_.Update(bytes, static_cast<size_t>(delivered));
    readerBlock_->uncompressedBytes += static_cast<uint64_t>(delivered);
  }
  return delivered;
}

int ImageFile::EndReadBlock() {
  if (readerBlock_ == nullptr) return -1;
  ImageBlock& block = *readerBlock_;
  readerOps_->finish(*this);
  const uint64_t dataOffset = block.headerOffset + block.header.headerLength;
  if (block.refused) {
    block.storedConsumed = 0;
  } else if (readerStreamUsed_ >= 0) {
    block.storedConsumed = static_cast<uint64_t>(readerStreamUsed_);
  } else {
    const int64_t position = readerFile_.Tell();
    block.storedConsumed = position < 0 ? 0 : static_cast<uint64_t>(position) - dataOffset;
  }
  block.crcComputed = crc_.Value();
  // All three are compared; none hides another. A refused block was never read: it fails.
  int verdict = block.refused ? -1 : 0;
  if (block.header.storedSize != block.storedConsumed) verdict = -1;
  if (block.header.uncompressedSize != block.uncompressedBytes) verdict = -1;
  if (block.header.crc != block.crcComputed) verdict = -1;
  readerNext_ = dataOffset + block.header.storedSize;
  readerFile_.Seek(static_cast<int64_t>(readerNext_), BinaryFile::kBegin);
  readerBlock_ = nullptr;
  readerDataStarted_ = false;
  readerOps_ = nullptr;
  return verdict;
}

int ImageFile::CloseReader() {
  if (!readerFile_.IsOpen()) return 0;
  if (readerBlock_ != nullptr) EndReadBlock();
  uint8_t trailer = 0;
  readerFile_.Read(&trailer, 1);
  readerFile_.Close();
  return 0;
}

}  // namespace orv

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
  if (writerFile_.Open(path, BinaryFile::Mode::kCreate) != 0) return -1;
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
  return result;
}

int ImageFile::CloseWriter() {
  if (!writerFile_.IsOpen()) return 0;
  int result = 0;
  if (writerBlock_ != nullptr && EndBlock() != 0) result = -1;
  const uint8_t trailer = 0;
  if (writerFile_.Write(&trailer, 1) != 1) result = -1;
  if (writerFile_.Close() != 0) result = -1;
  return result;
}

// ---- reader ----

// Reads the header at the current position and leaves the file at the block's data. A header
// is accepted only with the magic, a known method and a length of at least 60 bytes (a shorter
// one would stop the walk from moving forward).
bool ImageFile::ReadHeader(BinaryFile& file, ImageBlock& block) {
  const int64_t offset = file.Tell();
  if (offset < 0) return false;
  uint8_t raw[kBlockHeaderSize];
  if (file.Read(raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return false;
  BlockHeader header = LoadBlockHeader(raw);
  if (header.magic != kBlockMagic) return false;
  const int method = MethodOfName(header.methodName);
  if (method < 0) return false;
  if (header.headerLength < kBlockHeaderSize) return false;
  // The next header must lie within what a file offset can address.
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  const uint64_t dataOffset = static_cast<uint64_t>(offset) + header.headerLength;
  if (header.storedSize > kMaxOffset - dataOffset) return false;
  if (file.Seek(static_cast<int64_t>(dataOffset), BinaryFile::kBegin) < 0) return false;
  block = ImageBlock{};
  block.header = header;
  block.headerOffset = static_cast<uint64_t>(offset);
  block.method = static_cast<BlockMethod>(method);
  block.storedBytes = header.storedSize;
  return true;
}

int ImageFile::ListBlocks(const std::filesystem::path& path) {
  if (readerFile_.IsOpen()) return -1;
  if (readerFile_.Open(path, BinaryFile::Mode::kRead) != 0) return -1;
  blocks_.clear();
  writerBlock_ = nullptr;
  readerBlock_ = nullptr;
  int count = 0;
  ImageBlock block;
  while (ReadHeader(readerFile_, block)) {
    blocks_.push_back(block);
    ++count;
    const uint64_t next = block.headerOffset + block.header.headerLength + block.header.storedSize;
    if (readerFile_.Seek(static_cast<int64_t>(next), BinaryFile::kBegin) < 0) break;
  }
  readerFile_.Close();
  return count;
}

int ImageFile::OpenForRead(const std::filesystem::path& path) {
  if (readerFile_.IsOpen()) return -1;
  if (readerFile_.Open(path, BinaryFile::Mode::kRead) != 0) return -1;
  blocks_.clear();
  writerBlock_ = nullptr;
  readerBlock_ = nullptr;
  readerBlocks_ = 0;
  readerDataStarted_ = false;
  readerOps_ = nullptr;
  return 0;
}

const BlockHeader* ImageFile::NextBlock() {
  if (!readerFile_.IsOpen()) return nullptr;
  if (readerBlock_ != nullptr) EndReadBlock();
  ImageBlock block;
  if (!ReadHeader(readerFile_, block)) return nullptr;
  crc_.Reset();
  ++readerBlocks_;
  blocks_.push_back(block);
  readerBlock_ = &blocks_.back();
  readerOps_ = &kReaderOps[static_cast<int>(block.method)];
  if (readerOps_->start(*this) != 0) {
    blocks_.pop_back();
    readerBlock_ = nullptr;
    readerOps_ = nullptr;
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
  const int64_t position = readerFile_.Tell();
  const uint64_t dataOffset = block.headerOffset + block.header.headerLength;
  block.storedConsumed = position < 0 ? 0 : static_cast<uint64_t>(position) - dataOffset;
  block.crcComputed = crc_.Value();
  // All three are compared; none hides another.
  int verdict = 0;
  if (block.header.storedSize != block.storedConsumed) verdict = -1;
  if (block.header.uncompressedSize != block.uncompressedBytes) verdict = -1;
  if (block.header.crc != block.crcComputed) verdict = -1;
  readerFile_.Seek(static_cast<int64_t>(dataOffset + block.header.storedSize), BinaryFile::kBegin);
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

// ImageFile writes and reads the ".ovi" block container: a plain concatenation of blocks, each a
// BlockHeader followed by exactly stored-size bytes of data, ended by one 0x00 byte. A block's
// data is stored unchanged ("-nocomp-") or LH5-compressed ("-lh5----") through the threaded
// streams; every block carries the BlockCrc of its uncompressed bytes.
//
// Writer: CreateImage, then per block BeginBlock (fill the caller's header fields),
// WriteBlockData..., EndBlock; CloseWriter. Reader: OpenForRead, then per block NextBlock,
// ReadBlockData... until it returns 0, EndReadBlock; CloseReader. ListBlocks walks the headers
// alone. Results follow the system's convention: 0 or -1, or a count of bytes.
//
// Both walks (ListBlocks, and the reader's NextBlock until it returns none) also conclude
// whether the file is complete, in Walk(): the block count alone cannot tell a whole file from
// one cut after a block or with an overwritten header. Callers that act on a file (writing it
// to a disc, trusting it as a backup) refuse it unless Walk().Complete().
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>

#include "image/binary_file.h"
#include "image/block_crc.h"
#include "image/block_header.h"
#include "image/image_walk.h"

namespace orv {

class Lh5EncodeStream;
class Lh5DecodeStream;

struct ImageBlock {
  BlockHeader header;
  uint64_t headerOffset = 0;       // file position of the header
  uint64_t uncompressedBytes = 0;  // counted while writing or reading
  BlockMethod method = BlockMethod::kLh5;
  uint64_t storedBytes = 0;        // writer: counted; reader: from the header
  // Reader, after EndReadBlock: what the block turned out to hold. The stored bytes consumed
  // are those its data took: for an LH5 block, the stream's symbols, not the bytes the decoder
  // loaded ahead of them.
  uint64_t storedConsumed = 0;
  uint32_t crcComputed = 0;
  // Reader: the block admission refused the header, and none of its data was read.
  bool refused = false;
};

class ImageFile {
 public:
  ImageFile();
  // Closes open files without writing anything more (no header rewrite, no trailing byte);
  // callers run CloseWriter or CloseReader first.
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Writer side.
  int CreateImage(const std::filesystem::path& path);
  // The new block's header, for the caller to fill sectorSize, firstSector and sectorCount
  // before the first write; nullptr for a method other than 0 or 1. A block still current is
  // ended first; nullptr when that fails.
  BlockHeader* BeginBlock(int method);
  // Bytes accepted (fewer than count when the block's method stopped), or -1.
  int64_t WriteBlockData(uint64_t count, const void* data);
  // Finishes the block's data and rewrites its header with sizes and CRC. -1 when the data
  // could not be completed or the header not rewritten.
  int EndBlock();
  // Ends the current block, writes the trailing 0x00 and closes the file. -1 when any of that
  // failed, so that a caller never takes an incomplete file for a good one.
  int CloseWriter();

  // Reader side.
  // Number of blocks whose headers are good, from the start up to the first that is not; -1
  // when the reader is open or the file cannot be opened (it must be a regular file). Leaves the
  // reader closed, and Walk() saying how the walk ended.
  int ListBlocks(const std::filesystem::path& path);
  int OpenForRead(const std::filesystem::path& path);
  // The next block's header, or nullptr at the end of the blocks, at a bad header, or when the
  // block's method could not start; Walk() then says which. A header the block admission
  // refuses is returned all the same, but its method does not start: ReadBlockData gives 0 and
  // EndReadBlock -1, with the block marked refused.
  const BlockHeader* NextBlock();
  // Bytes delivered, 0 at the end of the block's data, -1 without a current block.
  int64_t ReadBlockData(uint64_t count, void* buffer);
  // 0 when the stored size, the uncompressed size and the CRC all match the header, else -1.
  // Leaves the file at the next header either way.
  int EndReadBlock();
  int CloseReader();

  // How the last walk ended: that of ListBlocks, or that of the reader once NextBlock returned
  // none (kNotWalked while the reader has not got there).
  const ImageWalk& Walk() const { return walk_; }

  // Asked about every header NextBlock reads, before the block's method starts; null (the
  // default) admits every block. It lets a caller refuse a block whose header cannot be right
  // (sizes beyond its sectors, say) before a byte of it is decoded, while the walk goes on.
  using BlockAdmission = std::function<bool(const BlockHeader&)>;
  void SetBlockAdmission(BlockAdmission admission) { admission_ = std::move(admission); }

  // The system's code for the last failure to open, write or end a file (BinaryFile::LastError;
  // 0 when the failure had none, as when memory ran out).
  uint32_t LastError() const { return lastError_; }

  const std::list<ImageBlock>& Blocks() const { return blocks_; }
  size_t BlockCount() const { return blocks_.size(); }

 private:
  // The three steps of a block's method, per side, indexed by BlockMethod.
  struct WriterOps {
    int (*start)(ImageFile&);
    int64_t (*transfer)(ImageFile&, const uint8_t*, uint64_t);
    int (*finish)(ImageFile&);
  };
  struct ReaderOps {
    int (*start)(ImageFile&);
    int64_t (*transfer)(ImageFile&, uint8_t*, uint64_t);
    int (*finish)(ImageFile&);
  };
  static const WriterOps kWriterOps[2];
  static const ReaderOps kReaderOps[2];
  static const ReaderOps kRefusedOps;

  static int StoredWriteStart(ImageFile&);
  static int64_t StoredWrite(ImageFile&, const uint8_t*, uint64_t);
  static int StoredWriteFinish(ImageFile&);
  static int Lh5WriteStart(ImageFile&);
  static int64_t Lh5Write(ImageFile&, const uint8_t*, uint64_t);
  static int Lh5WriteFinish(ImageFile&);
  static int StoredReadStart(ImageFile&);
  static int64_t StoredRead(ImageFile&, uint8_t*, uint64_t);
  static int StoredReadFinish(ImageFile&);
  static int Lh5ReadStart(ImageFile&);
  static int64_t Lh5Read(ImageFile&, uint8_t*, uint64_t);
  static int Lh5ReadFinish(ImageFile&);
  static int RefusedStart(ImageFile&);
  static int64_t RefusedRead(ImageFile&, uint8_t*, uint64_t);

  int StartBlockData();
  static bool ReadHeader(BinaryFile& file, ImageBlock& block, WalkEnd* refusal);
  static ImageWalk ConcludeWalk(BinaryFile& file, uint64_t stop, WalkEnd refusal, size_t blocks);

  std::list<ImageBlock> blocks_;
  BlockCrc crc_;  // one side runs at a time

  BinaryFile writerFile_;
  int writerBlocks_ = 0;
  bool writerDataStarted_ = false;
  const WriterOps* writerOps_ = nullptr;
  ImageBlock* writerBlock_ = nullptr;
  std::unique_ptr<Lh5EncodeStream> encoder_;

  BinaryFile readerFile_;
  int readerBlocks_ = 0;
  bool readerDataStarted_ = false;
  const ReaderOps* readerOps_ = nullptr;
  ImageBlock* readerBlock_ = nullptr;
  uint64_t readerStoredLeft_ = 0;
  uint64_t readerNext_ = 0;        // where the next header belongs
  int64_t readerStreamUsed_ = -1;  // set by a method that knows better than the file position
  std::unique_ptr<Lh5DecodeStream> decoder_;
  BlockAdmission admission_;

  ImageWalk walk_;
  uint32_t lastError_ = 0;
};

}  // namespace orv

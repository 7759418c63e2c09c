// How a walk over the blocks of an ".ovi" file ended. The file has no index and no count: a
// reader finds each header by arithmetic from the one before (header offset + header length +
// stored size) and the walk stops at the first place where no header is accepted. The file is
// complete only when that place holds a single 0x00 that is the file's last byte; any other end
// means blocks may have been lost (a file cut short, a header overwritten, a stored size that
// lies), and the walk says where and why.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

enum class WalkEnd {
  kNotWalked,          // no walk has run, or the file could not be opened
  kComplete,           // the closing 0x00 is the file's last byte
  kNoClosingByte,      // the file ends right after the last block's data
  kDataCut,            // the last block's data runs past the end of the file
  kHeaderCut,          // fewer than 60 bytes where the next header should be
  kBadMagic,           // the next header does not start with "ORVIMAGE"
  kBadMethod,          // its method is neither "-nocomp-" nor "-lh5----"
  kBadHeaderLength,    // its header length is below 60
  kUnaddressable,      // its stored size puts the next header beyond any file offset
  kBadClosingByte,     // one byte other than 0x00 where the closing byte should be
  kBytesAfterClosing,  // bytes after the closing 0x00
  kReadFailed,         // the file could not be read or positioned there, or a block's method
                       // could not start
};

struct ImageWalk {
  WalkEnd end = WalkEnd::kNotWalked;
  size_t blocks = 0;     // blocks walked, as the block list holds them
  uint64_t offset = 0;   // where the walk stopped: after the last block's data (0 before any)
  uint64_t fileSize = 0;
  uint8_t byte = 0;      // kBadClosingByte: the byte found

  bool Complete() const { return end == WalkEnd::kComplete; }
};

}  // namespace orv

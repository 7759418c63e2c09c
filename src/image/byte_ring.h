// The ring buffer between a caller and an LH5 stream's worker. Not locked by itself: the
// stream's mutex guards it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace orv {

class ByteRing {
 public:
  bool Allocate(uint32_t size) {
    buffer_.reset(new (std::nothrow) uint8_t[size]);
    size_ = buffer_ ? size : 0;
    fill_ = readPos_ = writePos_ = 0;
    return buffer_ != nullptr;
  }
  void Free() {
    buffer_.reset();
    size_ = fill_ = readPos_ = writePos_ = 0;
  }

  uint32_t Size() const { return size_; }
  uint32_t Fill() const { return fill_; }
  bool Full() const { return fill_ == size_; }

  // Copies in as much as there is room for, in at most two pieces; returns the count.
  uint32_t Put(const uint8_t* data, uint64_t count) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, size_ - fill_));
    if (n == 0) return 0;
    uint32_t first = std::min(n, size_ - writePos_);
    std::memcpy(buffer_.get() + writePos_, data, first);
    std::memcpy(buffer_.get(), data + first, n - first);
    writePos_ = (writePos_ + n) % size_;
    fill_ += n;
    return n;
  }
  // Copies out as much as is there, up to count; returns the count.
  uint32_t Take(uint8_t* data, uint64_t count) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, fill_));
    if (n == 0) return 0;
    uint32_t first = std::min(n, size_ - readPos_);
    std::memcpy(data, buffer_.get() + readPos_, first);
    std::memcpy(data + first, buffer_.get(), n - first);
    readPos_ = (readPos_ + n) % size_;
    fill_ -= n;
    return n;
  }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t size_ = 0;
  uint32_t fill_ = 0;
  uint32_t readPos_ = 0;
  uint32_t writePos_ = 0;
};

}  // namespace orv

#include "vdrive/medium.h"

#include <cstring>
#include <fstream>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace orv {

namespace {

class MemoryMedium : public Medium {
 public:
  using Medium::Medium;

  int Read(uint64_t lba, uint32_t blocks, uint8_t* out) override {
    for (uint32_t i = 0; i < blocks; ++i) {
      uint8_t* dest = out + uint64_t{i} * BlockLength();
      auto it = blocks_.find(lba + i);
      if (it == blocks_.end())
        std::memset(dest, 0, BlockLength());
      else
        std::memcpy(dest, it->second.data(), BlockLength());
    }
    return 0;
  }

  int Write(uint64_t lba, uint32_t blocks, const uint8_t* in) override {
    for (uint32_t i = 0; i < blocks; ++i) {
      const uint8_t* src = in + uint64_t{i} * BlockLength();
      blocks_[lba + i].assign(src, src + BlockLength());
    }
    return 0;
  }

 private:
  std::unordered_map<uint64_t, std::vector<uint8_t>> blocks_;
};

class ImageMedium : public Medium {
 public:
  ImageMedium(std::fstream file, std::filesystem::path path, uint32_t blockLength, uint64_t blockCount,
              bool readOnly)
      : Medium(blockLength, blockCount, readOnly), file_(std::move(file)), path_(std::move(path)) {}

  const std::filesystem::path* ImagePath() const override { return &path_; }

  int Read(uint64_t lba, uint32_t blocks, uint8_t* out) override {
    const uint64_t bytes = uint64_t{blocks} * BlockLength();
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(lba * BlockLength()));
    file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(bytes));
    if (file_.gcount() == static_cast<std::streamsize>(bytes)) return 0;
    // Past the end of a file that shrank under us: what is not there reads as zeros.
    const auto got = file_.gcount() < 0 ? 0 : static_cast<uint64_t>(file_.gcount());
    std::memset(out + got, 0, bytes - got);
    file_.clear();
    return 0;
  }

  int Write(uint64_t lba, uint32_t blocks, const uint8_t* in) override {
    file_.clear();
    file_.seekp(static_cast<std::streamoff>(lba * BlockLength()));
    file_.write(reinterpret_cast<const char*>(in), static_cast<std::streamsize>(uint64_t{blocks} * BlockLength()));
    // The image is what a user inspects after a test: every write reaches the file at once.
    file_.flush();
    return file_.good() ? 0 : -1;
  }

 private:
  std::fstream file_;
  std::filesystem::path path_;
};

}  // namespace

std::unique_ptr<Medium> MakeMemoryMedium(uint32_t blockLength, uint64_t blockCount, bool readOnly) {
  return std::make_unique<MemoryMedium>(blockLength, blockCount, readOnly);
}

std::unique_ptr<Medium> OpenImageMedium(const std::filesystem::path& path, uint32_t blockLength,
                                        uint64_t defaultBlockCount, bool readOnly, std::string& error) {
  std::error_code ec;
  if (blockLength == 0) {
    error = "block length 0";
    return nullptr;
  }
  if (!std::filesystem::exists(path, ec)) {
    // A new image is created sparse: only the blocks written take room on the disk.
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, defaultBlockCount * blockLength, ec);
    if (ec) {
      error = "cannot create image file " + path.string() + ": " + ec.message();
      return nullptr;
    }
  }
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read the size of image file " + path.string() + ": " + ec.message();
    return nullptr;
  }
  const uint64_t blockCount = size / blockLength;
  if (blockCount == 0) {
    error = "image file " + path.string() + " is smaller than one block of " + std::to_string(blockLength) +
            " bytes";
    return nullptr;
  }
  std::fstream file(path, readOnly ? std::ios::in | std::ios::binary
                                   : std::ios::in | std::ios::out | std::ios::binary);
  if (!file.is_open()) {
    error = "cannot open image file " + path.string();
    return nullptr;
  }
  return std::make_unique<ImageMedium>(std::move(file), path, blockLength, blockCount, readOnly);
}

}  // namespace orv

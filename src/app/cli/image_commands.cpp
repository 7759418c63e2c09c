#include "app/cli/image_commands.h"

#include <CLI/CLI.hpp>

#include <iomanip>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "image/binary_file.h"
#include "image/image_file.h"
#include "toolkit/console_terminal.h"

namespace orv {

namespace {

// Data moves in pieces of this size: the image-write transfer size.
constexpr uint32_t kPieceBytes = 65536;

std::string Shown(const std::filesystem::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Hex32(uint32_t value) {
  std::ostringstream s;
  s << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << value;
  return s.str();
}

// A progress line on the error stream, rewritten in place. It is drawn only when that stream is
// the program's own standard error on an interactive terminal: in a pipe or a log file the
// carriage returns would only interleave with the results.
class Progress {
 public:
  Progress(std::ostream& err, uint64_t total)
      : err_(err), total_(total), draw_(&err == &std::cerr && IsTerminal(stderr)) {}
  ~Progress() { Clear(); }
  // Removes the line, so that a result line written next starts on a clean line.
  void Clear() {
    if (shown_) err_ << "\r" << std::string(40, ' ') << "\r" << std::flush;
    shown_ = false;
  }
  void Update(const char* what, size_t block, uint64_t done) {
    const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
    if (!draw_ || percent == lastPercent_) return;
    lastPercent_ = percent;
    shown_ = true;
    err_ << "\r" << what << " block " << block << ": " << percent << "%" << std::flush;
  }

 private:
  std::ostream& err_;
  uint64_t total_;
  bool draw_;
  int lastPercent_ = -1;
  bool shown_ = false;
};

struct BlockOutcome {
  uint64_t delivered = 0;
  int verdict = -1;
};

// Reads the current block to its end, handing each piece to `sink` (which returns false to stop
// early); then the block's verdict.
template <typename Sink>
BlockOutcome ReadWholeBlock(ImageFile& image, const BlockHeader& header, size_t number, const char* what,
                            std::ostream& err, Sink sink) {
  BlockOutcome outcome;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceBytes]);
  Progress progress(err, header.uncompressedSize);
  int64_t n;
  while ((n = image.ReadBlockData(kPieceBytes, buffer.get())) > 0) {
    if (!sink(buffer.get(), static_cast<uint64_t>(n), outcome.delivered)) break;
    outcome.delivered += static_cast<uint64_t>(n);
    progress.Update(what, number, outcome.delivered);
  }
  outcome.verdict = image.EndReadBlock();
  return outcome;
}

// What is wrong with a block whose verdict was -1.
std::string Faults(const ImageBlock& block) {
  std::string faults;
  auto add = [&faults](const std::string& text) { faults += (faults.empty() ? "" : ", ") + text; };
  if (block.header.storedSize != block.storedConsumed) {
    add("stored size " + std::to_string(block.header.storedSize) + " but " + std::to_string(block.storedConsumed) + " used");
  }
  if (block.header.uncompressedSize != block.uncompressedBytes) {
    add("uncompressed size " + std::to_string(block.header.uncompressedSize) + " but " +
        std::to_string(block.uncompressedBytes) + " decoded");
  }
  if (block.header.crc != block.crcComputed) add("CRC " + Hex32(block.header.crc) + " but " + Hex32(block.crcComputed));
  return faults.empty() ? "unreadable" : faults;
}

// The file should end with one 0x00 right after the last block. Returns "" when it does.
std::string TrailerProblem(const std::filesystem::path& path, const ImageFile& image) {
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) return "its size cannot be read";
  uint64_t end = 0;
  if (!image.Blocks().empty()) {
    const ImageBlock& last = image.Blocks().back();
    end = last.headerOffset + last.header.headerLength + last.header.storedSize;
  }
  if (size == end + 1) return "";
  if (size <= end) return "it ends inside its last block or without the closing byte";
  return std::to_string(size - end - 1) + " bytes follow the last block that hold no block";
}

}  // namespace

int ImageList(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
  ImageFile image;
  const int count = image.ListBlocks(path);
  if (count < 0) {
    err << "cannot open " << Shown(path) << "\n";
    return 1;
  }
  out << "block  first sector  sectors  sector size  method    stored size  uncompressed  CRC\n";
  size_t number = 0;
  for (const ImageBlock& b : image.Blocks()) {
    out << std::setw(5) << ++number << "  " << std::setw(12) << b.header.firstSector << "  " << std::setw(7)
        << b.header.sectorCount << "  " << std::setw(11) << b.header.sectorSize << "  " << MethodLabel(b.method)
        << "  " << std::setw(11) << b.header.storedSize << "  " << std::setw(12) << b.header.uncompressedSize << "  "
        << Hex32(b.header.crc) << "\n";
  }
  out << count << (count == 1 ? " block\n" : " blocks\n");
  return 0;
}

int ImageVerify(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
  ImageFile image;
  if (image.OpenForRead(path) != 0) {
    err << "cannot open " << Shown(path) << "\n";
    return 1;
  }
  size_t number = 0;
  size_t bad = 0;
  while (const BlockHeader* header = image.NextBlock()) {
    ++number;
    const BlockHeader h = *header;
    const BlockOutcome outcome =
        ReadWholeBlock(image, h, number, "verifying", err, [](const uint8_t*, uint64_t, uint64_t) { return true; });
    const ImageBlock& block = image.Blocks().back();
    out << "block " << number << " (sector " << h.firstSector << ", " << h.uncompressedSize << " bytes): ";
    if (outcome.verdict == 0) {
      out << "good\n";
    } else {
      out << "BAD: " << Faults(block) << "\n";
      ++bad;
    }
  }
  image.CloseReader();
  const std::string trailer = TrailerProblem(path, image);
  if (!trailer.empty()) out << "file: " << trailer << "\n";
  out << number << (number == 1 ? " block, " : " blocks, ") << bad << " bad\n";
  return bad == 0 && trailer.empty() ? 0 : 1;
}

int ImageExtract(const std::filesystem::path& path, const std::filesystem::path& rawPath, std::ostream& out,
                 std::ostream& err) {
  ImageFile image;
  if (image.OpenForRead(path) != 0) {
    err << "cannot open " << Shown(path) << "\n";
    return 1;
  }
  BinaryFile raw;
  if (raw.Open(rawPath, BinaryFile::Mode::kCreate) != 0) {
    err << "cannot create " << Shown(rawPath) << "\n";
    return 1;
  }
  size_t number = 0;
  size_t failed = 0;
  while (const BlockHeader* header = image.NextBlock()) {
    ++number;
    const BlockHeader h = *header;
    constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    const bool placeable = h.sectorSize != 0 && h.firstSector <= kMaxOffset / h.sectorSize &&
                           h.uncompressedSize <= kMaxOffset - h.firstSector * h.sectorSize;
    const uint64_t offset = placeable ? h.firstSector * h.sectorSize : 0;
    bool writeFailed = !placeable || raw.Seek(static_cast<int64_t>(offset), BinaryFile::kBegin) < 0;
    const BlockOutcome outcome = ReadWholeBlock(image, h, number, "extracting", err,
                                                [&](const uint8_t* data, uint64_t count, uint64_t) {
                                                  if (writeFailed) return false;
                                                  writeFailed = raw.Write(data, count) != static_cast<int64_t>(count);
                                                  return !writeFailed;
                                                });
    out << "block " << number << ": sector " << h.firstSector << ", " << outcome.delivered << " bytes";
    if (!placeable) {
      out << ": NOT WRITTEN (sector size " << h.sectorSize << " cannot place it)\n";
      ++failed;
    } else if (writeFailed) {
      out << ": WRITE FAILED\n";
      ++failed;
    } else if (outcome.verdict != 0) {
      out << ": written, but BAD: " << Faults(image.Blocks().back()) << "\n";
      ++failed;
    } else {
      out << "\n";
    }
  }
  image.CloseReader();
  if (raw.Close() != 0) {
    err << "cannot finish writing " << Shown(rawPath) << "\n";
    return 1;
  }
  out << number << (number == 1 ? " block, " : " blocks, ") << failed << " failed\n";
  return failed == 0 ? 0 : 1;
}

int ImageCreate(const std::filesystem::path& path, const std::filesystem::path& rawPath, uint32_t sectorSize,
                const std::vector<SectorRun>& runs, std::ostream& out, std::ostream& err) {
  if (sectorSize == 0) {
    err << "the sector size must not be 0\n";
    return 1;
  }
  if (runs.empty()) {
    err << "no run of sectors given (--run FIRST:COUNT)\n";
    return 1;
  }
  BinaryFile raw;
  if (raw.Open(rawPath, BinaryFile::Mode::kRead) != 0) {
    err << "cannot open " << Shown(rawPath) << "\n";
    return 1;
  }
  const int64_t rawSize = raw.Seek(0, BinaryFile::kEnd);
  const uint64_t rawSectors = rawSize < 0 ? 0 : static_cast<uint64_t>(rawSize) / sectorSize;
  for (const SectorRun& run : runs) {
    if (run.sectorCount == 0 || run.firstSector > rawSectors || run.sectorCount > rawSectors - run.firstSector) {
      err << "run " << run.firstSector << ":" << run.sectorCount << " does not lie within " << Shown(rawPath) << " ("
          << rawSize << " bytes)\n";
      return 1;
    }
  }

  ImageFile image;
  if (image.CreateImage(path) != 0) {
    err << "cannot create " << Shown(path) << "\n";
    return 1;
  }
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceBytes]);
  bool ok = true;
  size_t number = 0;
  for (const SectorRun& run : runs) {
    ++number;
    BlockHeader* header = image.BeginBlock(static_cast<int>(BlockMethod::kLh5));
    header->sectorSize = sectorSize;
    header->firstSector = run.firstSector;
    header->sectorCount = run.sectorCount;
    const uint64_t total = uint64_t{run.sectorCount} * sectorSize;
    ok = raw.Seek(static_cast<int64_t>(run.firstSector * sectorSize), BinaryFile::kBegin) >= 0;
    Progress progress(err, total);
    uint64_t done = 0;
    while (ok && done < total) {
      const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(kPieceBytes, total - done));
      ok = raw.Read(buffer.get(), piece) == piece && image.WriteBlockData(piece, buffer.get()) == piece;
      done += piece;
      progress.Update("packing", number, done);
    }
    if (ok) ok = image.EndBlock() == 0;
    if (!ok) break;
    progress.Clear();
    const ImageBlock& block = image.Blocks().back();
    out << "block " << number << ": sectors " << run.firstSector << "-" << run.firstSector + run.sectorCount - 1
        << ", " << total << " bytes -> " << block.header.storedSize << " bytes\n";
  }
  if (image.CloseWriter() != 0) ok = false;
  if (!ok) {
    err << "cannot write " << Shown(path) << "; the incomplete file is removed\n";
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return 1;
  }
  return 0;
}

namespace {

// "FIRST:COUNT" in decimal.
bool ParseRun(const std::string& text, SectorRun* run) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  const std::string first = text.substr(0, colon);
  const std::string count = text.substr(colon + 1);
  auto digits = [](const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos && s.size() <= 19; };
  if (!digits(first) || !digits(count)) return false;
  const uint64_t sectors = std::stoull(count);
  if (sectors == 0 || sectors > std::numeric_limits<uint32_t>::max()) return false;
  run->firstSector = std::stoull(first);
  run->sectorCount = static_cast<uint32_t>(sectors);
  return true;
}

}  // namespace

void AddImageCommands(CLI::App& app, int& exitCode) {
  CLI::App* image = app.add_subcommand("image", "Work with .ovi image files: list, verify, extract, create");
  image->require_subcommand(1);

  struct Options {
    std::string file;
    std::string raw;
    std::string from;
    uint32_t sectorSize = 2048;
    std::vector<std::string> runs;
  };
  auto o = std::make_shared<Options>();

  CLI::App* list = image->add_subcommand("list", "One line per block: sectors, method, sizes, CRC");
  list->add_option("FILE", o->file, "The image file (.ovi)")->required();
  list->callback([o, &exitCode] { exitCode = ImageList(o->file, std::cout, std::cerr); });

  CLI::App* verify = image->add_subcommand("verify", "Decode every block and check its sizes and CRC");
  verify->add_option("FILE", o->file, "The image file (.ovi)")->required();
  verify->callback([o, &exitCode] { exitCode = ImageVerify(o->file, std::cout, std::cerr); });

  CLI::App* extract = image->add_subcommand("extract", "Write every block at its sector into a raw image");
  extract->add_option("FILE", o->file, "The image file (.ovi)")->required();
  extract->add_option("RAW", o->raw, "The raw image to write (.img)")->required();
  extract->callback([o, &exitCode] { exitCode = ImageExtract(o->file, o->raw, std::cout, std::cerr); });

  CLI::App* create = image->add_subcommand("create", "Pack runs of sectors of a raw image into LH5 blocks");
  create->add_option("FILE", o->file, "The image file to write (.ovi)")->required();
  create->add_option("--from", o->from, "The raw image to read")->required();
  create->add_option("--sector-size", o->sectorSize, "Bytes per sector")->capture_default_str();
  create->add_option("--run", o->runs, "FIRST:COUNT sectors, one block each (repeatable)")->required();
  create->callback([o, &exitCode] {
    std::vector<SectorRun> runs;
    for (const std::string& text : o->runs) {
      SectorRun run;
      if (!ParseRun(text, &run)) {
        std::cerr << "bad run '" << text << "': expected FIRST:COUNT with COUNT from 1\n";
        exitCode = 1;
        return;
      }
      runs.push_back(run);
    }
    exitCode = ImageCreate(o->file, o->from, o->sectorSize, runs, std::cout, std::cerr);
  });
}

}  // namespace orv

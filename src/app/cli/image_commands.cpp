#include "app/cli/image_commands.h"

#include <CLI/CLI.hpp>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "image/binary_file.h"
#include "image/image_check.h"
#include "image/image_file.h"

namespace orv {

namespace {

// Data moves in pieces of this size: the image-write transfer size.
constexpr uint32_t kPieceBytes = 65536;

std::string Shown(const std::filesystem::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Hex32(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08" PRIX32, value);
  return text;
}

// The value right-aligned in `width` columns.
std::string Right(uint64_t value, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%*" PRIu64, width, value);
  return text;
}

struct SectorRun {
  uint64_t firstSector = 0;
  uint32_t sectorCount = 0;
};

// The progress of one block's data on the session's progress line (drawn only on a terminal).
class BlockProgress {
 public:
  BlockProgress(CliSession& session, const char* what, size_t block, uint64_t total)
      : total_(total) {
    ProgressBoxSpec box;
    box.message = what;
    box.progressBar = true;
    box_ = session.Ui().OpenProgress(box, nullptr);
    if (box_) {
      box_->SetStatus("block " + std::to_string(block));
      box_->SetRange(100);
    }
  }
  void Update(uint64_t done) {
    const uint32_t percent = total_ == 0 ? 100 : static_cast<uint32_t>(done * 100 / total_);
    if (box_ && percent != lastPercent_) box_->SetPosition(percent);
    lastPercent_ = percent;
  }

 private:
  uint64_t total_;
  uint32_t lastPercent_ = ~0u;
  std::unique_ptr<ProgressBox> box_;
};

struct BlockOutcome {
  uint64_t delivered = 0;
  int verdict = -1;
};

// Reads the current block to its end, handing each piece to `sink` (which returns false to stop
// early); then the block's verdict.
template <typename Sink>
BlockOutcome ReadWholeBlock(CliSession& session, ImageFile& image, const BlockHeader& header, size_t number,
                            const char* what, Sink sink) {
  BlockOutcome outcome;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceBytes]);
  {
    BlockProgress progress(session, what, number, header.uncompressedSize);
    int64_t n;
    while ((n = image.ReadBlockData(kPieceBytes, buffer.get())) > 0) {
      if (!sink(buffer.get(), static_cast<uint64_t>(n))) break;
      outcome.delivered += static_cast<uint64_t>(n);
      progress.Update(outcome.delivered);
    }
  }
  outcome.verdict = image.EndReadBlock();
  return outcome;
}

// What is wrong with a block whose verdict was -1.
std::string FaultText(const ImageBlock& block) {
  const BlockFaults faults = FaultsOf(block);
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (faults.storedSize) {
    add("stored size " + std::to_string(block.header.storedSize) + " but " + std::to_string(block.storedConsumed) +
        " used");
  }
  if (faults.uncompressedSize) {
    add("uncompressed size " + std::to_string(block.header.uncompressedSize) + " but " +
        std::to_string(block.uncompressedBytes) + " decoded");
  }
  if (faults.crc) add("CRC " + Hex32(block.header.crc) + " but " + Hex32(block.crcComputed));
  return text.empty() ? "unreadable" : text;
}

// "" when the file ends with one 0x00 right after its last block.
std::string TrailerText(const std::filesystem::path& path, const ImageFile& image) {
  const TrailerCheck check = CheckTrailer(path, image);
  switch (check.fault) {
    case TrailerFault::kNone:
      return "";
    case TrailerFault::kSizeUnknown:
      return "its size cannot be read";
    case TrailerFault::kShort:
      return "it ends inside its last block or without the closing byte";
    case TrailerFault::kExtraBytes:
      break;
  }
  return std::to_string(check.extraBytes) + " bytes follow the last block that hold no block";
}

void ImageList(CliSession& session, const std::filesystem::path& path) {
  ImageFile image;
  const int count = image.ListBlocks(path);
  if (count < 0) throw CliError("cannot open " + Shown(path));
  std::string text = "block  first sector  sectors  sector size  method    stored size  uncompressed  CRC\n";
  size_t number = 0;
  for (const ImageBlock& b : image.Blocks()) {
    text += Right(++number, 5) + "  " + Right(b.header.firstSector, 12) + "  " + Right(b.header.sectorCount, 7) +
            "  " + Right(b.header.sectorSize, 11) + "  " + MethodLabel(b.method) + "  " +
            Right(b.header.storedSize, 11) + "  " + Right(b.header.uncompressedSize, 12) + "  " +
            Hex32(b.header.crc) + "\n";
  }
  text += std::to_string(count) + (count == 1 ? " block\n" : " blocks\n");
  session.Print(text);
  session.exitCode = 0;
}

void ImageVerify(CliSession& session, const std::filesystem::path& path) {
  ImageFile image;
  if (image.OpenForRead(path) != 0) throw CliError("cannot open " + Shown(path));
  size_t number = 0;
  size_t bad = 0;
  while (const BlockHeader* header = image.NextBlock()) {
    ++number;
    const BlockHeader h = *header;
    const BlockOutcome outcome =
        ReadWholeBlock(session, image, h, number, "verifying", [](const uint8_t*, uint64_t) { return true; });
    std::string line = "block " + std::to_string(number) + " (sector " + std::to_string(h.firstSector) + ", " +
                       std::to_string(h.uncompressedSize) + " bytes): ";
    if (outcome.verdict == 0) {
      line += "good\n";
    } else {
      line += "BAD: " + FaultText(image.Blocks().back()) + "\n";
      ++bad;
    }
    session.Print(line);
  }
  image.CloseReader();
  const std::string trailer = TrailerText(path, image);
  if (!trailer.empty()) session.Print("file: " + trailer + "\n");
  session.Print(std::to_string(number) + (number == 1 ? " block, " : " blocks, ") + std::to_string(bad) + " bad\n");
  session.exitCode = bad == 0 && trailer.empty() ? 0 : 1;
}

void ImageExtract(CliSession& session, const std::filesystem::path& path, const std::filesystem::path& rawPath) {
  ImageFile image;
  if (image.OpenForRead(path) != 0) throw CliError("cannot open " + Shown(path));
  BinaryFile raw;
  if (raw.Open(rawPath, BinaryFile::Mode::kCreate) != 0) throw CliError("cannot create " + Shown(rawPath));
  size_t number = 0;
  size_t failed = 0;
  while (const BlockHeader* header = image.NextBlock()) {
    ++number;
    const BlockHeader h = *header;
    const BlockPlacement placement = PlaceBlock(h);
    bool writeFailed =
        !placement.placeable || raw.Seek(static_cast<int64_t>(placement.offset), BinaryFile::kBegin) < 0;
    const BlockOutcome outcome =
        ReadWholeBlock(session, image, h, number, "extracting", [&](const uint8_t* data, uint64_t count) {
          if (writeFailed) return false;
          writeFailed = raw.Write(data, count) != static_cast<int64_t>(count);
          return !writeFailed;
        });
    std::string line =
        "block " + std::to_string(number) + ": sector " + std::to_string(h.firstSector) + ", " +
        std::to_string(outcome.delivered) + " bytes";
    if (!placement.placeable) {
      line += ": NOT WRITTEN (sector size " + std::to_string(h.sectorSize) + " cannot place it)\n";
      ++failed;
    } else if (writeFailed) {
      line += ": WRITE FAILED\n";
      ++failed;
    } else if (outcome.verdict != 0) {
      line += ": written, but BAD: " + FaultText(image.Blocks().back()) + "\n";
      ++failed;
    } else {
      line += "\n";
    }
    session.Print(line);
  }
  image.CloseReader();
  if (raw.Close() != 0) throw CliError("cannot finish writing " + Shown(rawPath));
  session.Print(std::to_string(number) + (number == 1 ? " block, " : " blocks, ") + std::to_string(failed) +
                " failed\n");
  session.exitCode = failed == 0 ? 0 : 1;
}

void ImageCreate(CliSession& session, const std::filesystem::path& path, const std::filesystem::path& rawPath,
                 uint32_t sectorSize, const std::vector<SectorRun>& runs) {
  if (sectorSize == 0) throw CliError("the sector size must not be 0");
  if (runs.empty()) throw CliError("no run of sectors given (--run FIRST:COUNT)");
  BinaryFile raw;
  if (raw.Open(rawPath, BinaryFile::Mode::kRead) != 0) throw CliError("cannot open " + Shown(rawPath));
  const int64_t rawSize = raw.Seek(0, BinaryFile::kEnd);
  const uint64_t rawSectors = rawSize < 0 ? 0 : static_cast<uint64_t>(rawSize) / sectorSize;
  for (const SectorRun& run : runs) {
    if (run.sectorCount == 0 || run.firstSector > rawSectors || run.sectorCount > rawSectors - run.firstSector) {
      throw CliError("run " + std::to_string(run.firstSector) + ":" + std::to_string(run.sectorCount) +
                     " does not lie within " + Shown(rawPath) + " (" + std::to_string(rawSize) + " bytes)");
    }
  }

  ImageFile image;
  if (image.CreateImage(path) != 0) throw CliError("cannot create " + Shown(path));
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
    {
      BlockProgress progress(session, "packing", number, total);
      uint64_t done = 0;
      while (ok && done < total) {
        const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(kPieceBytes, total - done));
        ok = raw.Read(buffer.get(), piece) == piece && image.WriteBlockData(piece, buffer.get()) == piece;
        done += piece;
        progress.Update(done);
      }
    }
    if (ok) ok = image.EndBlock() == 0;
    if (!ok) break;
    const ImageBlock& block = image.Blocks().back();
    session.Print("block " + std::to_string(number) + ": sectors " + std::to_string(run.firstSector) + "-" +
                  std::to_string(run.firstSector + run.sectorCount - 1) + ", " + std::to_string(total) +
                  " bytes -> " + std::to_string(block.header.storedSize) + " bytes\n");
  }
  if (image.CloseWriter() != 0) ok = false;
  if (!ok) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw CliError("cannot write " + Shown(path) + "; the incomplete file is removed");
  }
  session.exitCode = 0;
}

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

void AddImageCommands(CLI::App& app, CliSession& session) {
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
  list->callback([o, &session] { ImageList(session, o->file); });

  CLI::App* verify = image->add_subcommand("verify", "Decode every block and check its sizes and CRC");
  verify->add_option("FILE", o->file, "The image file (.ovi)")->required();
  verify->callback([o, &session] { ImageVerify(session, o->file); });

  CLI::App* extract = image->add_subcommand("extract", "Write every block at its sector into a raw image");
  extract->add_option("FILE", o->file, "The image file (.ovi)")->required();
  extract->add_option("RAW", o->raw, "The raw image to write (.img)")->required();
  extract->callback([o, &session] { ImageExtract(session, o->file, o->raw); });

  CLI::App* create = image->add_subcommand("create", "Pack runs of sectors of a raw image into LH5 blocks");
  create->add_option("FILE", o->file, "The image file to write (.ovi)")->required();
  create->add_option("--from", o->from, "The raw image to read")->required();
  create->add_option("--sector-size", o->sectorSize, "Bytes per sector")->capture_default_str();
  create->add_option("--run", o->runs, "FIRST:COUNT sectors, one block each (repeatable)")->required();
  create->callback([o, &session] {
    std::vector<SectorRun> runs;
    for (const std::string& text : o->runs) {
      SectorRun run;
      if (!ParseRun(text, &run)) throw CliError("bad run '" + text + "': expected FIRST:COUNT with COUNT from 1");
      runs.push_back(run);
    }
    ImageCreate(session, o->file, o->from, o->sectorSize, runs);
  });
}

}  // namespace orv

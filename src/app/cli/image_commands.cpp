#include "app/cli/image_commands.h"

#include <CLI/CLI.hpp>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "device/device_handle.h"
#include "image/binary_file.h"
#include "image/file_replacement.h"
#include "image/file_system.h"
#include "image/image_check.h"
#include "image/image_file.h"
#include "operations/disc_backup.h"
#include "toolkit/json.h"

namespace orv {

namespace {

// Data moves in pieces of this size: the image-write transfer size.
constexpr uint32_t kPieceBytes = 65536;

// The largest raw image `extract` writes unless --max-size allows more: above any optical disc
// (a double-sided DVD-RAM holds 9.4 GB), far below the terabytes a lying first sector asks for.
constexpr uint64_t kDefaultMaxRawBytes = uint64_t{16} << 30;

struct CreateRun {
  uint64_t firstSector = 0;
  uint32_t sectorCount = 0;
};

// ---- Text ----

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

std::string Count(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}
std::string Bytes(uint64_t n) { return Count(n, "byte", "bytes"); }

// `what`, with the system's reason for it when there is one (code 0: none), one line without
// the reason's final period.
std::string WithReason(const std::string& what, uint32_t code) {
  if (code == 0) return what;
  std::string reason = ConsoleText(SystemErrorText(code));
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                             reason.back() == '.')) {
    reason.pop_back();
  }
  return what + ": " + (reason.empty() ? "system error " + std::to_string(code) : reason);
}

// Where the walk over the file's blocks stopped and why; "" for a complete file.
std::string EndText(const ImageWalk& walk) {
  const std::string at = "at offset " + std::to_string(walk.offset);
  const std::string after = walk.blocks == 0 ? "before any block" : "after block " + std::to_string(walk.blocks);
  switch (walk.end) {
    case WalkEnd::kComplete:
      return "";
    case WalkEnd::kNotWalked:
      return "not read to its end";
    case WalkEnd::kNoClosingByte:
      return "ends " + after + " without the closing 0x00 byte (cut short?)";
    case WalkEnd::kDataCut:
      return "ends inside the data of block " + std::to_string(walk.blocks) + ": it needs " +
             Bytes(walk.offset) + ", the file has " + std::to_string(walk.fileSize);
    case WalkEnd::kHeaderCut:
      return "ends inside a block header " + after + " (" + Count(walk.fileSize - walk.offset, "byte", "bytes") +
             " of 60 " + at + ")";
    case WalkEnd::kBadMagic:
      return "no block header " + at + " " + after + ": it does not start with ORVIMAGE";
    case WalkEnd::kBadMethod:
      return "the block header " + at + " " + after + " names an unknown method";
    case WalkEnd::kBadHeaderLength:
      return "the block header " + at + " " + after + " gives a header length below 60";
    case WalkEnd::kUnaddressable:
      return "the block header " + at + " " + after + " gives a stored size no file can hold";
    case WalkEnd::kBadClosingByte: {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", walk.byte);
      return "ends " + after + " with the byte " + byte + " where the closing 0x00 belongs (cut short?)";
    }
    case WalkEnd::kBytesAfterClosing:
      return Bytes(walk.fileSize - walk.offset - 1) + (walk.fileSize - walk.offset == 2 ? " follows" : " follow") +
             " the closing byte " + after;
    case WalkEnd::kReadFailed:
      return "cannot be read " + at + " " + after;
  }
  return "";
}

// EndText, and for a backup whose map says it stopped, what to do about it: the file is then not
// damaged, only not finished.
std::string WalkText(const std::filesystem::path& path, const ImageWalk& walk) {
  if (walk.Complete()) return "";
  std::string text = EndText(walk);
  if (IsUnfinishedBackup(path)) {
    text += "; its map " + Shown(BackupMapPath(path)) + " says the backup is unfinished: resume the backup "
            "(orvane-cli backup DRIVE " + Shown(path) + " --resume)";
  }
  return text;
}

// Why a block's data cannot be placed.
std::string PlacementText(const BlockHeader& h, const BlockPlacement& placement) {
  if (placement.fault == PlacementFault::kOverSectors) {
    return "its " + Bytes(h.uncompressedSize) + " do not fit in its " + Count(h.sectorCount, "sector", "sectors") +
           " of " + Bytes(h.sectorSize);
  }
  if (placement.fault == PlacementFault::kCountMismatch) {
    const uint64_t filled = h.sectorSize == 0 ? 0 : (h.uncompressedSize + h.sectorSize - 1) / h.sectorSize;
    return "its header gives " + Count(h.sectorCount, "sector", "sectors") + " of " + Bytes(h.sectorSize) +
           " but its " + Bytes(h.uncompressedSize) + " fill " + Count(filled, "sector", "sectors");
  }
  return "sectors " + std::to_string(h.firstSector) + " and on (" + Count(h.sectorCount, "sector", "sectors") +
         " of " + Bytes(h.sectorSize) + ") lie beyond any disc or file";
}

// What is wrong with a block that failed.
std::string FaultText(const BlockCheck& check) {
  const ImageBlock& block = check.block;
  if (check.faults.refused) return "not decoded: " + PlacementText(block.header, check.placement);
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (check.faults.storedSize) {
    add("stored size " + std::to_string(block.header.storedSize) + " but " + std::to_string(block.storedConsumed) +
        " used");
  }
  if (check.faults.uncompressedSize) {
    add("uncompressed size " + std::to_string(block.header.uncompressedSize) + " but " +
        std::to_string(block.uncompressedBytes) + " decoded");
  }
  if (check.faults.crc) add("CRC " + Hex32(block.header.crc) + " but " + Hex32(block.crcComputed));
  return text.empty() ? "unreadable" : text;
}

// ---- Files ----

// An input must be a regular file: a folder or a device cannot be walked by offset, and a pipe
// would block the open for ever.
FileFacts RequireRegularInput(const std::filesystem::path& path, const char* what) {
  FileFacts facts;
  uint32_t error = 0;
  if (InspectFile(path, facts, &error) != 0) throw CliError(WithReason("cannot open " + Shown(path), error));
  switch (facts.kind) {
    case FileKind::kRegular:
      return facts;
    case FileKind::kMissing:
      throw CliError("cannot open " + Shown(path) + ": there is no such file");
    case FileKind::kDirectory:
      throw CliError(Shown(path) + " is a folder, not " + what);
    case FileKind::kPipe:
      throw CliError(Shown(path) + " is a pipe, not " + what + " (only regular files are read)");
    case FileKind::kDevice:
      throw CliError(Shown(path) + " is a device, not " + what + " (only regular files are read)");
    case FileKind::kOther:
      break;
  }
  throw CliError(Shown(path) + " is not a regular file, not " + what);
}

// Refuses an output that is the input itself (by any name: links followed, device and inode
// compared) before anything is opened for writing, then starts its replacement beside it.
void BeginOutput(FileReplacement& output, const std::filesystem::path& target, const std::filesystem::path& input,
                 const FileFacts& inputFacts) {
  FileFacts facts;
  if (InspectFile(target, facts, nullptr) == 0 && SameFile(facts, inputFacts)) {
    throw CliError(Shown(target) + " is the input " + Shown(input) + " itself; the output needs a file of its own");
  }
  if (output.Begin(target) == 0) return;
  switch (output.LastFault()) {
    case FileReplacement::Fault::kTargetIsDirectory:
      throw CliError(Shown(target) + " is a folder; the output needs a file name");
    case FileReplacement::Fault::kTargetNotRegular:
      throw CliError(Shown(target) + " is not a regular file; the output must be a new or a regular file");
    default:
      break;
  }
  throw CliError(WithReason("cannot create a file beside " + Shown(target), output.LastError()));
}

// Forces the output to the disk and puts it in place.
void CommitOutput(FileReplacement& output, const std::filesystem::path& target) {
  if (output.Commit() == 0) return;
  throw CliError(WithReason("cannot write " + Shown(target), output.LastError()) + "; it is left as it was");
}

// ---- Progress ----

// The progress line of one command, on the session's progress box (drawn only on a terminal).
// While it is open, Ctrl-C asks the command to stop instead of killing it, so that no
// temporary file is left behind.
class Progress {
 public:
  Progress(CliSession& session, const char* what) : session_(session), what_(what) { Open(); }

  // Block `number`: `done` of `total` bytes. False once the user asked to stop.
  bool Update(size_t number, uint64_t done, uint64_t total) {
    session_.Ui().ProcessMessages(0);
    if (cancelled_ || !box_ || !box_->IsOpen()) {
      cancelled_ = true;
      return false;
    }
    const uint32_t percent = total == 0 ? 100 : static_cast<uint32_t>(done * 100 / total);
    if (number != number_) {
      number_ = number;
      box_->SetStatus("block " + std::to_string(number));
      percent_ = ~0u;
    }
    if (percent != percent_) box_->SetPosition(percent);
    percent_ = percent;
    return true;
  }
  // A result line on the output, on a line of its own.
  void Print(const std::string& line) {
    box_.reset();
    session_.Print(line);
    Open();
  }
  bool Cancelled() {
    session_.Ui().ProcessMessages(0);
    if (!box_ || !box_->IsOpen()) cancelled_ = true;
    return cancelled_;
  }

 private:
  void Open() {
    ProgressBoxSpec box;
    box.message = what_;
    box.progressBar = true;
    box_ = session_.Ui().OpenProgress(box, nullptr);
    if (box_) box_->SetRange(100);
    number_ = 0;
  }

  CliSession& session_;
  const char* what_;
  std::unique_ptr<ProgressBox> box_;
  size_t number_ = 0;
  uint32_t percent_ = ~0u;
  bool cancelled_ = false;
};

// ---- The commands ----

// ---- JSON ----

// What the --json outputs of list and verify share: the file, its walk's verdict, the blocks.
JsonValue ImageJson(const std::filesystem::path& path, const ImageCheck& check, JsonValue blocks) {
  JsonValue out = JsonValue::Object();
  out.Set("file", Shown(path));
  out.Set("blocks", std::move(blocks));
  out.Set("complete", check.walk.Complete());
  out.Set("walk", check.walk.Complete() ? JsonValue() : JsonValue(WalkText(path, check.walk)));
  out.Set("good", check.Good());
  return out;
}

JsonValue BlockJson(size_t number, const BlockHeader& h) {
  JsonValue block = JsonValue::Object();
  block.Set("number", number);
  block.Set("firstSector", h.firstSector);
  block.Set("sectorCount", h.sectorCount);
  block.Set("sectorSize", h.sectorSize);
  return block;
}

void ImageList(CliSession& session, const std::filesystem::path& path, bool json) {
  RequireRegularInput(path, "an image file");
  ImageCheck check;
  uint32_t error = 0;
  if (CheckImage(path, CheckDepth::kHeaders, check, nullptr, &error) != 0) {
    throw CliError(WithReason("cannot open " + Shown(path), error));
  }
  session.exitCode = check.Good() ? 0 : 1;
  if (json) {
    JsonValue blocks = JsonValue::Array();
    size_t number = 0;
    for (const BlockCheck& c : check.blocks) {
      const BlockHeader& h = c.block.header;
      JsonValue block = BlockJson(++number, h);
      block.Set("method", MethodLabel(c.block.method));
      block.Set("storedSize", h.storedSize);
      block.Set("uncompressedSize", h.uncompressedSize);
      block.Set("crc", Hex32(h.crc));
      block.Set("fault", c.placement.Placed() ? JsonValue() : JsonValue(PlacementText(h, c.placement)));
      blocks.Append(std::move(block));
    }
    session.PrintJson(ImageJson(path, check, std::move(blocks)));
    return;
  }
  std::string text = "block  first sector  sectors  sector size  method    stored size  uncompressed  CRC\n";
  std::string faults;
  size_t number = 0;
  for (const BlockCheck& c : check.blocks) {
    const BlockHeader& h = c.block.header;
    text += Right(++number, 5) + "  " + Right(h.firstSector, 12) + "  " + Right(h.sectorCount, 7) + "  " +
            Right(h.sectorSize, 11) + "  " + MethodLabel(c.block.method) + "  " + Right(h.storedSize, 11) + "  " +
            Right(h.uncompressedSize, 12) + "  " + Hex32(h.crc) + "\n";
    if (!c.placement.Placed()) faults += "block " + std::to_string(number) + ": BAD: " + PlacementText(h, c.placement) + "\n";
  }
  text += faults;
  if (!check.walk.Complete()) text += "file: " + WalkText(path, check.walk) + "\n";
  text += Count(check.blocks.size(), "block", "blocks") + "\n";
  session.Print(text);
}

// Prints a line per block as it is checked, or keeps the blocks for the JSON at the end.
class VerifyObserver : public CheckObserver {
 public:
  VerifyObserver(CliSession& session, bool json) : progress_(session, "verifying"), json_(json) {}
  bool Piece(size_t number, uint64_t done, uint64_t total) override { return progress_.Update(number, done, total); }
  void Checked(size_t number, const BlockCheck& check) override {
    if (progress_.Cancelled()) return;
    const BlockHeader& h = check.block.header;
    if (!check.Good()) ++bad;
    if (json_) {
      JsonValue block = BlockJson(number, h);
      block.Set("uncompressedSize", h.uncompressedSize);
      block.Set("good", check.Good());
      block.Set("fault", check.Good() ? JsonValue() : JsonValue(FaultText(check)));
      blocks.Append(std::move(block));
      return;
    }
    std::string line = "block " + std::to_string(number) + " (sector " + std::to_string(h.firstSector) + ", " +
                       Bytes(h.uncompressedSize) + "): ";
    line += check.Good() ? "good\n" : "BAD: " + FaultText(check) + "\n";
    progress_.Print(line);
  }
  bool Cancelled() { return progress_.Cancelled(); }
  size_t bad = 0;
  JsonValue blocks = JsonValue::Array();

 private:
  Progress progress_;
  bool json_;
};

void ImageVerify(CliSession& session, const std::filesystem::path& path, bool json) {
  RequireRegularInput(path, "an image file");
  ImageCheck check;
  uint32_t error = 0;
  VerifyObserver observer(session, json);
  if (CheckImage(path, CheckDepth::kData, check, &observer, &error) != 0) {
    throw CliError(WithReason("cannot open " + Shown(path), error));
  }
  if (observer.Cancelled()) throw CliError("verification stopped");
  if (json) {
    JsonValue out = ImageJson(path, check, std::move(observer.blocks));
    out.Set("bad", observer.bad);
    session.PrintJson(out);
    session.exitCode = check.Good() ? 0 : 1;
    return;
  }
  std::string text;
  if (!check.walk.Complete()) text += "file: " + WalkText(path, check.walk) + "\n";
  text += Count(check.blocks.size(), "block", "blocks") + ", " + std::to_string(observer.bad) + " bad\n";
  session.Print(text);
  session.exitCode = check.Good() ? 0 : 1;
}

void ImageExtract(CliSession& session, const std::filesystem::path& path, const std::filesystem::path& rawPath,
                  uint64_t maxBytes) {
  const FileFacts input = RequireRegularInput(path, "an image file");
  ImageCheck plan;
  uint32_t error = 0;
  if (CheckImage(path, CheckDepth::kHeaders, plan, nullptr, &error) != 0) {
    throw CliError(WithReason("cannot open " + Shown(path), error));
  }
  if (plan.blocks.empty()) {
    const std::string why = plan.walk.Complete() ? "" : ": it " + WalkText(path, plan.walk);
    throw CliError(Shown(path) + " holds no image block" + why + "; nothing is written");
  }
  if (plan.extent > maxBytes) {
    size_t widest = 0;
    for (size_t i = 0; i < plan.blocks.size(); ++i) {
      if (plan.blocks[i].placement.Placed() && plan.blocks[i].placement.end == plan.extent) widest = i + 1;
    }
    throw CliError("the raw image would be " + Bytes(plan.extent) + " (block " + std::to_string(widest) +
                   " ends there), more than the limit of " + Bytes(maxBytes) +
                   "; --max-size BYTES allows more; nothing is written");
  }

  // Open before the temporary exists, so that Ctrl-C never leaves one behind.
  Progress progress(session, "extracting");
  FileReplacement output;
  BeginOutput(output, rawPath, path, input);
  ImageFile image;
  if (image.OpenForRead(path) != 0) throw CliError(WithReason("cannot open " + Shown(path), image.LastError()));
  BinaryFile raw;
  if (raw.Open(output.Temporary(), BinaryFile::Mode::kCreate) != 0) {
    throw CliError(WithReason("cannot create " + Shown(output.Temporary()), raw.LastError()));
  }
  image.SetBlockAdmission([maxBytes](const BlockHeader& h) {
    const BlockPlacement placement = PlaceBlock(h);
    return placement.Placed() && placement.end <= maxBytes;
  });

  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceBytes]);
  size_t number = 0;
  size_t failed = 0;
  while (const BlockHeader* header = image.NextBlock()) {
    ++number;
    const BlockHeader h = *header;
    const BlockPlacement placement = PlaceBlock(h);
    bool writeFailed = raw.Seek(static_cast<int64_t>(placement.offset), BinaryFile::kBegin) < 0;
    bool stopped = false;
    const BlockCheck check = ReadCurrentBlock(image, buffer.get(), kPieceBytes,
                                              [&](const uint8_t* data, uint64_t count, uint64_t offset) {
      if (writeFailed || !progress.Update(number, offset + count, h.uncompressedSize)) {
        stopped = !writeFailed;
        return false;
      }
      // The data never reaches past the block's own sectors: the decoder stops at the
      // uncompressed size, which the placement holds within them.
      writeFailed = raw.Write(data, count) != static_cast<int64_t>(count);
      return !writeFailed;
    });
    if (stopped) break;
    const uint64_t written = check.block.uncompressedBytes;
    std::string line = "block " + std::to_string(number) + ": sector " + std::to_string(h.firstSector);
    if (check.faults.refused) {
      line += ": NOT WRITTEN: " + (placement.Placed() ? "it would end beyond the limit of " + Bytes(maxBytes)
                                                       : PlacementText(h, placement)) + "\n";
      ++failed;
    } else if (writeFailed) {
      progress.Print(WithReason(line + ": WRITE FAILED", raw.LastError()) + "\n");
      throw CliError(WithReason("cannot write " + Shown(rawPath), raw.LastError()) + "; it is left as it was");
    } else if (written == 0 && !check.Good()) {
      line += ": nothing written: BAD: " + FaultText(check) + "\n";
      ++failed;
    } else if (!check.Good()) {
      line += ", " + Bytes(written) + ": written, but BAD: " + FaultText(check) + "\n";
      ++failed;
    } else {
      line += ", " + Bytes(written) + "\n";
    }
    progress.Print(line);
  }
  if (progress.Cancelled()) throw CliError("extraction stopped; " + Shown(rawPath) + " is left as it was");
  const ImageWalk walk = image.Walk();
  image.CloseReader();
  if (raw.Close() != 0) {
    throw CliError(WithReason("cannot write " + Shown(rawPath), raw.LastError()) + "; it is left as it was");
  }
  CommitOutput(output, rawPath);
  std::string text;
  if (!walk.Complete()) text += "file: " + WalkText(path, walk) + "\n";
  text += Count(number, "block", "blocks") + ", " + std::to_string(failed) + " failed\n";
  progress.Print(text);
  session.exitCode = failed == 0 && walk.Complete() ? 0 : 1;
}

void ImageCreate(CliSession& session, const std::filesystem::path& path, const std::filesystem::path& rawPath,
                 uint32_t sectorSize, const std::vector<CreateRun>& runs) {
  if (sectorSize == 0) throw CliUsageError("the sector size must not be 0");
  if (runs.empty()) throw CliUsageError("no run of sectors given (--run FIRST:COUNT)");
  const FileFacts input = RequireRegularInput(rawPath, "a raw image");
  const uint64_t rawSectors = input.size / sectorSize;
  for (const CreateRun& run : runs) {
    if (run.sectorCount == 0 || run.firstSector > rawSectors || run.sectorCount > rawSectors - run.firstSector) {
      throw CliError("run " + std::to_string(run.firstSector) + ":" + std::to_string(run.sectorCount) +
                     " does not lie within " + Shown(rawPath) + " (" + Bytes(input.size) + ")");
    }
  }
  Progress progress(session, "packing");
  FileReplacement output;
  BeginOutput(output, path, rawPath, input);
  BinaryFile raw;
  if (raw.Open(rawPath, BinaryFile::Mode::kRead) != 0) {
    throw CliError(WithReason("cannot open " + Shown(rawPath), raw.LastError()));
  }
  ImageFile image;
  if (image.CreateImage(output.Temporary()) != 0) {
    throw CliError(WithReason("cannot create " + Shown(output.Temporary()), image.LastError()));
  }
  auto fail = [&](const std::string& what, uint32_t code) {
    image.CloseWriter();
    throw CliError(WithReason(what, code) + "; " + Shown(path) + " is left as it was");
  };

  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceBytes]);
  size_t number = 0;
  for (const CreateRun& run : runs) {
    ++number;
    BlockHeader* header = image.BeginBlock(static_cast<int>(BlockMethod::kLh5));
    if (header == nullptr) fail("cannot write " + Shown(path), image.LastError());
    header->sectorSize = sectorSize;
    header->firstSector = run.firstSector;
    header->sectorCount = run.sectorCount;
    const uint64_t total = uint64_t{run.sectorCount} * sectorSize;
    if (raw.Seek(static_cast<int64_t>(run.firstSector * sectorSize), BinaryFile::kBegin) < 0) {
      fail("cannot read " + Shown(rawPath), raw.LastError());
    }
    uint64_t done = 0;
    while (done < total) {
      const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(kPieceBytes, total - done));
      if (raw.Read(buffer.get(), piece) != piece) {
        fail("cannot read " + Shown(rawPath) + " at byte " + std::to_string(run.firstSector * sectorSize + done),
             raw.LastError());
      }
      if (image.WriteBlockData(piece, buffer.get()) != piece) fail("cannot write " + Shown(path), image.LastError());
      done += piece;
      if (!progress.Update(number, done, total)) {
        image.CloseWriter();
        throw CliError("packing stopped; " + Shown(path) + " is left as it was");
      }
    }
    if (image.EndBlock() != 0) fail("cannot write " + Shown(path), image.LastError());
    const ImageBlock& block = image.Blocks().back();
    progress.Print("block " + std::to_string(number) + ": sectors " + std::to_string(run.firstSector) + "-" +
                   std::to_string(run.firstSector + run.sectorCount - 1) + ", " + Bytes(total) + " -> " +
                   Bytes(block.header.storedSize) + "\n");
  }
  if (image.CloseWriter() != 0) fail("cannot write " + Shown(path), image.LastError());
  CommitOutput(output, path);
  session.exitCode = 0;
}

// A byte count in decimal, from 1, optionally in binary units: "100000", "16GiB", "2TiB" (also
// "16G"). False for anything else, a sign or an overflow included.
bool ParseByteCount(const std::string& text, uint64_t* bytes) {
  const size_t digits = text.find_first_not_of("0123456789");
  if (digits == 0 || (digits == std::string::npos && text.empty())) return false;
  const std::string number = text.substr(0, digits);
  const std::string unit = digits == std::string::npos ? "" : text.substr(digits);
  static constexpr struct {
    const char* name;
    int shift;
  } kUnits[] = {{"", 0}, {"K", 10}, {"KiB", 10}, {"M", 20}, {"MiB", 20}, {"G", 30}, {"GiB", 30}, {"T", 40}, {"TiB", 40}};
  for (const auto& u : kUnits) {
    if (unit != u.name) continue;
    uint64_t value = 0;
    for (char c : number) {
      if (value > (std::numeric_limits<uint64_t>::max() - 9) / 10) return false;
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value == 0 || value > (std::numeric_limits<uint64_t>::max() >> u.shift)) return false;
    *bytes = value << u.shift;
    return true;
  }
  return false;
}

// "FIRST:COUNT" in decimal.
bool ParseRun(const std::string& text, CreateRun* run) {
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
    bool json = false;
    std::string raw;
    std::string from;
    uint32_t sectorSize = 2048;
    std::vector<std::string> runs;
    std::string maxSize;
  };
  auto o = std::make_shared<Options>();

  CLI::App* list = image->add_subcommand("list", "One line per block: sectors, method, sizes, CRC");
  list->add_option("FILE", o->file, "The image file (.ovi)")->required();
  list->add_flag("--json", o->json, "Print the blocks as JSON");
  list->callback([o, &session] { ImageList(session, o->file, o->json); });

  CLI::App* verify = image->add_subcommand("verify", "Decode every block and check its sizes and CRC");
  verify->add_option("FILE", o->file, "The image file (.ovi)")->required();
  verify->add_flag("--json", o->json, "Print the blocks and the verdict as JSON");
  verify->callback([o, &session] { ImageVerify(session, o->file, o->json); });

  CLI::App* extract = image->add_subcommand("extract", "Write every block at its sector into a raw image");
  extract->add_option("FILE", o->file, "The image file (.ovi)")->required();
  extract->add_option("RAW", o->raw, "The raw image to write (.img)")->required();
  extract
      ->add_option("--max-size", o->maxSize,
                   "The largest raw image to write: bytes, or with KiB, MiB, GiB, TiB (16GiB unless given)")
      ->type_name("BYTES")
      ->check(CLI::Validator(
          [](std::string& text) {
            uint64_t bytes = 0;
            return ParseByteCount(text, &bytes) ? std::string() : "expected a byte count from 1, such as 20GiB";
          },
          ""));
  extract->callback([o, &session] {
    uint64_t maxBytes = kDefaultMaxRawBytes;
    if (!o->maxSize.empty()) ParseByteCount(o->maxSize, &maxBytes);
    ImageExtract(session, o->file, o->raw, maxBytes);
  });

  CLI::App* create = image->add_subcommand("create", "Pack runs of sectors of a raw image into LH5 blocks");
  create->add_option("FILE", o->file, "The image file to write (.ovi)")->required();
  create->add_option("--from", o->from, "The raw image to read")->required();
  create->add_option("--sector-size", o->sectorSize, "Bytes per sector")->capture_default_str();
  create->add_option("--run", o->runs, "FIRST:COUNT sectors, one block each (repeatable)")->required();
  create->callback([o, &session] {
    std::vector<CreateRun> runs;
    for (const std::string& text : o->runs) {
      CreateRun run;
      if (!ParseRun(text, &run)) throw CliUsageError("bad run '" + text + "': expected FIRST:COUNT with COUNT from 1");
      runs.push_back(run);
    }
    ImageCreate(session, o->file, o->from, o->sectorSize, runs);
  });
}

}  // namespace orv

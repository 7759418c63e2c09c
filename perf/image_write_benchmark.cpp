// Throughput of the image write onto a virtual drive whose disc is a file, next to what the
// system's own tools and the codec do with the same bytes in the same run:
//
//   raw    the write of a raw image (64 KiB transfers through the command set, the virtual port
//          and the emulator into the disc file), against `dd bs=64k conv=notrunc` copying the
//          same image onto a copy of the same disc file;
//   .ovi   the write of a large compressible container (LH5 blocks of 64 sectors, as the erase
//          writes them, and of 16 MiB), against the codec decoding the same streams from memory
//          and against the container read through ImageFile without writing.
//
// MB = 10^6 bytes of image per second of wall time; each figure is the median of the runs,
// taken in turns (ours, the peer, ours...) so that a change of load hits both. The page cache
// holds every file after the first run, as it would on a second write of the same image.
//
// Usage: perf_image_write [--runs N] [--mib M] [--dir SCRATCH]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "image/image_file.h"
#include "image_test_support.h"
#include "operations/image_write.h"
#include "toolkit/scripted_ui.h"
#include "vdrive/drive_config.h"

namespace {

namespace fs = std::filesystem;
using orv::test::Bytes;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void WriteFile(const fs::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// A virtual DVD-RAM drive E: over `disc`, as the console builds it.
class Drive {
 public:
  explicit Drive(const fs::path& disc) {
    std::string error;
    drive_ = orv::MakeVirtualDrive({'E', "dvdram", disc.string()}, error);
    auto port = std::make_unique<orv::VirtualPort>(orv::MakeClosedPort(orv::MakeOsPort()));
    port->AddDrive('E', drive_);
    list_ = std::make_unique<orv::DriveList>(std::move(port));
    list_->Scan(nullptr);
    if (list_->Count() == 0) {
      std::fprintf(stderr, "perf_image_write: no drive over %s: %s\n", disc.c_str(), error.c_str());
      std::exit(1);
    }
  }
  // Seconds for the whole command, answered Yes.
  double Write(const fs::path& image) {
    orv::ScriptedUi ui;
    ui.QueueAnswer(orv::kIdYes);
    const auto start = Clock::now();
    const orv::ImageWriteResult result = orv::RunImageWrite(ui, *list_, list_->Records().front(), image);
    const double seconds = Seconds(start);
    if (result.end != orv::ImageWriteEnd::kCompleted) {
      std::fprintf(stderr, "perf_image_write: the write of %s did not complete\n", image.c_str());
      std::exit(1);
    }
    return seconds;
  }

 private:
  std::shared_ptr<orv::VirtualDrive> drive_;
  std::unique_ptr<orv::DriveList> list_;
};

double RunDd(const fs::path& image, const fs::path& disc) {
  const std::string command =
      "dd if='" + image.string() + "' of='" + disc.string() + "' bs=64k conv=notrunc status=none";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "perf_image_write: %s failed\n", command.c_str());
    std::exit(1);
  }
  return Seconds(start);
}

// An .ovi of `data` in blocks of `blockSectors` 2048-byte sectors, and each block's LH5 stream.
std::vector<Bytes> MakeContainer(const fs::path& path, const Bytes& data, uint32_t blockSectors) {
  orv::ImageFile image;
  image.CreateImage(path);
  const size_t blockBytes = size_t{blockSectors} * 2048;
  for (size_t at = 0; at < data.size(); at += blockBytes) {
    orv::BlockHeader* h = image.BeginBlock(1);
    const size_t n = std::min(blockBytes, data.size() - at);
    h->sectorSize = 2048;
    h->firstSector = at / 2048;
    h->sectorCount = static_cast<uint32_t>((n + 2047) / 2048);
    image.WriteBlockData(n, data.data() + at);
    image.EndBlock();
  }
  image.CloseWriter();
  // The streams as the file holds them, for the codec alone.
  std::vector<Bytes> streams;
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const orv::ImageBlock& b : image.Blocks()) {
    const size_t from = static_cast<size_t>(b.headerOffset) + 60;
    streams.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(from),
                         file.begin() + static_cast<std::ptrdiff_t>(from + b.header.storedSize));
  }
  return streams;
}

double DecodeFromMemory(const std::vector<Bytes>& streams, size_t blockBytes, size_t total) {
  const auto start = Clock::now();
  size_t produced = 0;
  for (const Bytes& s : streams) {
    const size_t n = std::min(blockBytes, total - produced);
    produced += orv::test::Lh5Decode(s, n).size();
  }
  const double seconds = Seconds(start);
  if (produced != total) std::exit(1);
  return seconds;
}

double ReadContainer(const fs::path& path) {
  const auto start = Clock::now();
  orv::ImageFile image;
  image.OpenForRead(path);
  Bytes buffer(65536);
  while (image.NextBlock() != nullptr) {
    while (image.ReadBlockData(buffer.size(), buffer.data()) > 0) {
    }
    if (image.EndReadBlock() != 0) std::exit(1);
  }
  image.CloseReader();
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  size_t mib = 256;
  fs::path dir = fs::temp_directory_path() / "orvane-perf-image-write";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--mib") mib = static_cast<size_t>(std::max(1, std::atoi(argv[i + 1])));
    if (option == "--dir") dir = argv[i + 1];
  }
  fs::remove_all(dir);
  fs::create_directories(dir);
  const size_t bytes = mib << 20;
  const double mb = static_cast<double>(bytes) / 1e6;

  // Raw: a disc of the image's size plus a margin, one for us and a copy for dd.
  const Bytes raw = orv::test::BinaryCorpus(bytes, 31);
  WriteFile(dir / "raw.img", raw);
  const Bytes blank((bytes / 2048 + 64) * 2048, 0);
  WriteFile(dir / "disc.img", blank);
  WriteFile(dir / "disc-dd.img", blank);
  std::vector<double> ours, dd;
  {
    Drive drive(dir / "disc.img");
    for (int r = 0; r < runs; ++r) {
      ours.push_back(drive.Write(dir / "raw.img"));
      dd.push_back(RunDd(dir / "raw.img", dir / "disc-dd.img"));
    }
  }
  const double rawOurs = mb / Median(ours), rawDd = mb / Median(dd);

  // .ovi: text, compressible to about a third; blocks of 64 sectors and of 16 MiB.
  const Bytes text = orv::test::TextCorpus(bytes / 4, 32);
  const double textMb = static_cast<double>(text.size()) / 1e6;
  struct Row {
    const char* name;
    uint32_t blockSectors;
    double write = 0, read = 0, codec = 0;
  };
  Row rows[] = {{"64-sector blocks (erase backup)", 64}, {"16 MiB blocks", 8192}};
  {
    Drive drive(dir / "disc.img");
    for (Row& row : rows) {
      const fs::path ovi = dir / "text.ovi";
      const std::vector<Bytes> streams = MakeContainer(ovi, text, row.blockSectors);
      std::vector<double> write, read, codec;
      for (int r = 0; r < runs; ++r) {
        write.push_back(drive.Write(ovi));
        codec.push_back(DecodeFromMemory(streams, size_t{row.blockSectors} * 2048, text.size()));
        read.push_back(ReadContainer(ovi));
      }
      row.write = textMb / Median(write);
      row.read = textMb / Median(read);
      row.codec = textMb / Median(codec);
    }
  }

  std::printf("| workload | ours MB/s | peer | peer MB/s | ours / peer |\n|---|---:|---|---:|---:|\n");
  std::printf("| raw write, %zu MiB | %.0f | dd bs=64k conv=notrunc | %.0f | %.2f |\n", mib, rawOurs, rawDd,
              rawOurs / rawDd);
  for (const Row& row : rows) {
    std::printf("| .ovi write, %.0f MB of text, %s | %.0f | codec decode from memory | %.0f | %.2f |\n", textMb,
                row.name, row.write, row.codec, row.write / row.codec);
    std::printf("| (the same .ovi read through ImageFile, nothing written) | %.0f | codec decode from memory | %.0f | %.2f |\n",
                row.read, row.codec, row.read / row.codec);
  }
  fs::remove_all(dir);
  return 0;
}

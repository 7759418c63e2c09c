#include "image_write_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>  // std::chrono's clocks: <chrono> itself does not compile with a CP932 execution charset

#include "image/image_file.h"
#include "scsi/opcodes.h"
#include "toolkit/endian.h"

namespace orv::test {

Bytes SectorPattern(uint64_t lba, uint32_t sectorSize, uint32_t seed) {
  Bytes sector(sectorSize);
  for (uint32_t i = 0; i < sectorSize; ++i) {
    // Runs of repeated bytes with an LBA-dependent step: compressible, as disc sectors are.
    sector[i] = static_cast<uint8_t>((lba * 131 + seed * 7 + i / 16 * 3) & 0xFF);
  }
  for (int b = 0; b < 8 && b < static_cast<int>(sectorSize); ++b) sector[static_cast<size_t>(b)] = static_cast<uint8_t>(lba >> (8 * b));
  return sector;
}

Bytes PatternedDisc(uint64_t sectors, uint32_t sectorSize, uint32_t seed) {
  Bytes disc;
  disc.reserve(static_cast<size_t>(sectors * sectorSize));
  for (uint64_t lba = 0; lba < sectors; ++lba) {
    const Bytes sector = SectorPattern(lba, sectorSize, seed);
    disc.insert(disc.end(), sector.begin(), sector.end());
  }
  return disc;
}

Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path ScratchDir(const std::string& name) {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  const std::filesystem::path dir =
      std::filesystem::path(binary ? binary : std::filesystem::temp_directory_path().string()) / "scratch" /
      "operations" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::vector<SectorRun> EraseRuns(uint64_t diskSectors, uint32_t sectorSize) {
  const uint64_t n = (131072 + sectorSize - 1) / sectorSize;
  std::vector<SectorRun> runs;
  runs.push_back({0, static_cast<uint32_t>(std::min(n, diskSectors))});
  if (diskSectors > n) {
    if (diskSectors - n >= n) {
      runs.push_back({diskSectors - n, static_cast<uint32_t>(n)});
    } else {
      runs.push_back({n, static_cast<uint32_t>(diskSectors - n)});
    }
  }
  return runs;
}

void WriteBackup(const std::filesystem::path& path, const Bytes& disc, uint32_t sectorSize,
                 const std::vector<SectorRun>& runs) {
  ImageFile image;
  ASSERT_EQ(image.CreateImage(path), 0);
  for (const SectorRun& run : runs) {
    BlockHeader* header = image.BeginBlock(1);
    ASSERT_NE(header, nullptr);
    header->sectorSize = sectorSize;
    header->firstSector = run.first;
    header->sectorCount = run.count;
    // One sector per write, as the erase reads and saves them.
    for (uint64_t lba = run.first; lba < run.first + run.count; ++lba) {
      ASSERT_LE((lba + 1) * sectorSize, disc.size());
      ASSERT_EQ(image.WriteBlockData(sectorSize, disc.data() + lba * sectorSize), static_cast<int64_t>(sectorSize));
    }
    ASSERT_EQ(image.EndBlock(), 0);
  }
  ASSERT_EQ(image.CloseWriter(), 0);
}

WriteWatch::WriteWatch(std::shared_ptr<VirtualDrive> drive, OnWrite onWrite)
    : drive_(std::move(drive)), onWrite_(std::move(onWrite)) {
  drive_->SetAnswerHook([this](VirtualDrive& d, CommandContext& command) {
    if (command.Opcode() != scsi_op::kWrite10) return false;
    writes_.push_back({GetBe32(&command.cdb[2]), GetBe16(&command.cdb[7])});
    if (onWrite_) onWrite_(static_cast<int>(writes_.size()), d, command);
    return false;
  });
}

WriteWatch::~WriteWatch() { drive_->SetAnswerHook(nullptr); }

struct CancellingUi::Press {
  std::mutex mutex;
  std::condition_variable changed;
  bool pending = false;
  bool handled = false;
  bool onPosition = false;
  uint32_t position = 0;
  std::function<void()> onCloseRequest;
  ProgressBox* inner = nullptr;
};

class CancellingUi::Box : public ProgressBox {
 public:
  Box(std::unique_ptr<ProgressBox> inner, std::shared_ptr<Press> press)
      : inner_(std::move(inner)), press_(std::move(press)), opener_(std::this_thread::get_id()) {}
  ~Box() override {
    std::lock_guard lock(press_->mutex);
    press_->inner = nullptr;
  }
  void SetStatus(std::string_view text) override { inner_->SetStatus(text); }
  void SetRange(uint32_t maximum) override { inner_->SetRange(maximum); }
  void SetPosition(uint32_t position) override {
    inner_->SetPosition(position);
    bool press = false;
    {
      std::lock_guard lock(press_->mutex);
      // Only the worker's call: the pumping thread cannot wait for itself.
      press = press_->onPosition && press_->position == position && std::this_thread::get_id() != opener_;
      if (press) press_->onPosition = false;
    }
    if (press) Wait(press_);
  }
  bool IsOpen() const override { return inner_->IsOpen(); }
  void Close() override { inner_->Close(); }

  // Asks the pumping thread to press, and waits until it has (10 s at most, so that a job that
  // stopped pumping fails the test instead of hanging it).
  static void Wait(const std::shared_ptr<Press>& press) {
    std::unique_lock lock(press->mutex);
    press->pending = true;
    press->handled = false;
    press->changed.notify_all();
    press->changed.wait_for(lock, std::chrono::seconds(10), [&] { return press->handled; });
  }

 private:
  std::unique_ptr<ProgressBox> inner_;
  std::shared_ptr<Press> press_;
  std::thread::id opener_;
};

CancellingUi::CancellingUi() : press_(std::make_shared<Press>()) {}
CancellingUi::~CancellingUi() = default;

void CancellingUi::PressNow() { Box::Wait(press_); }

void CancellingUi::PressOnPosition(uint32_t position) {
  std::lock_guard lock(press_->mutex);
  press_->onPosition = true;
  press_->position = position;
}

std::unique_ptr<ProgressBox> CancellingUi::OpenProgress(const ProgressBoxSpec& boxSpec,
                                                        std::function<void()> onCloseRequest) {
  auto inner = ScriptedUi::OpenProgress(boxSpec, nullptr);
  std::lock_guard lock(press_->mutex);
  press_->onCloseRequest = std::move(onCloseRequest);
  press_->inner = inner.get();
  return std::make_unique<Box>(std::move(inner), press_);
}

bool CancellingUi::ProcessMessages(uint32_t idleMs) {
  std::function<void()> request;
  {
    std::unique_lock lock(press_->mutex);
    press_->changed.wait_for(lock, std::chrono::milliseconds(idleMs), [&] { return press_->pending; });
    if (!press_->pending) return true;
    press_->pending = false;
    request = press_->onCloseRequest;
  }
  // The user's press: the close request, then the box is gone.
  if (request) request();
  std::lock_guard lock(press_->mutex);
  if (press_->inner) press_->inner->Close();
  press_->handled = true;
  press_->changed.notify_all();
  return true;
}

}  // namespace orv::test

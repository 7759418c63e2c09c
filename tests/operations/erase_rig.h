// A drive E: for the erase tests: a DVD-RAM drive whose disc has the sector count and size a
// case needs, kept in a raw image file (filled with noise first, so that every sector has its
// own bytes) that a test reads whole before and after; the drive list, its record and its one
// device, as the operation meets them; a log of every READ(10)/WRITE(10) the drive received;
// and a hook per command for the faults a case injects.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "image/image_test_support.h"
#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/presets.h"
#include "vdrive/virtual_drive.h"

namespace orv::test {

struct SectorCommand {
  uint8_t opcode = 0;
  uint64_t lba = 0;
  uint32_t blocks = 0;
  friend bool operator==(const SectorCommand&, const SectorCommand&) = default;
};

class EraseRig {
 public:
  // Hook: sees each READ(10)/WRITE(10) with its number among those of its opcode (from 1);
  // true when it answered the command itself.
  using Fault = std::function<bool(VirtualDrive&, CommandContext&, uint64_t number)>;

  // Discs of up to kNoiseLimit bytes are noise throughout; a larger one is a sparse file of
  // zeros (tests of it look at the commands, not at the whole file).
  static constexpr uint64_t kNoiseLimit = 16u << 20;

  EraseRig(const std::filesystem::path& disc, uint64_t sectors, uint32_t sectorSize, uint32_t seed = 7)
      : disc_(disc), sectorSize_(sectorSize) {
    std::error_code ec;
    std::filesystem::remove(disc, ec);
    if (sectors * sectorSize <= kNoiseLimit)
      WriteWholeFile(disc, RandomCorpus(static_cast<size_t>(sectors * sectorSize), seed));
    DrivePreset preset = *FindDrivePreset("dvdram");
    preset.blockLength = sectorSize;
    preset.blockCount = sectors;
    std::string error;
    drive_ = std::make_shared<VirtualDrive>(preset, OpenImageMedium(disc, sectorSize, sectors, false, error));
    drive_->SetAnswerHook([this](VirtualDrive& drive, CommandContext& command) {
      const uint8_t op = command.Opcode();
      if (op != scsi_op::kRead10 && op != scsi_op::kWrite10) return false;
      const SectorCommand seen{op, GetBe32(command.cdb.data() + 2), GetBe16(command.cdb.data() + 7)};
      log_.push_back(seen);
      const uint64_t number = op == scsi_op::kRead10 ? ++reads_ : ++writes_;
      return fault_ && fault_(drive, command, number);
    });
    auto port = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    port_ = port.get();
    port->AddDrive('E', drive_);
    list_ = std::make_unique<DriveList>(std::move(port));
    list_->Scan(nullptr);
  }

  bool Ready() const { return drive_->HasMedium() && list_->Count() == 1; }
  VirtualDrive& Drive() { return *drive_; }
  DriveList& List() { return *list_; }
  DeviceHandle& Device() { return list_->Device(); }
  DriveRecord& Record() { return const_cast<DriveRecord&>(list_->Records().front()); }
  void SetFault(Fault fault) { fault_ = std::move(fault); }
  const std::vector<SectorCommand>& Log() const { return log_; }
  // Opens E: beside the operation, as another program would; kNoPortHandle when refused.
  PortHandle HoldOpen(uint8_t flags) { return port_->Open("\\\\.\\E:", flags); }
  void Release(PortHandle handle) { port_->Close(handle); }

  // The whole disc as its image file holds it now.
  Bytes Disc() const { return ReadWholeFile(disc_); }
  uint32_t SectorSize() const { return sectorSize_; }

 private:
  std::filesystem::path disc_;
  uint32_t sectorSize_;
  std::shared_ptr<VirtualDrive> drive_;
  VirtualPort* port_ = nullptr;  // owned by the list's device
  std::unique_ptr<DriveList> list_;
  Fault fault_;
  std::vector<SectorCommand> log_;
  uint64_t reads_ = 0, writes_ = 0;
};

}  // namespace orv::test

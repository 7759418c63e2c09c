// A DVD-RAM E: whose disc of the sectors a case needs is a raw file of noise (every sector its own
// bytes), read whole before and after; a log of every READ(10)/WRITE(10) and a hook for faults.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/image_test_support.h"
#include "operation_rig.h"
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

class EraseRig : public OperationRig {
 public:
  // Sees each READ(10)/WRITE(10) with its number among its opcode's (from 1); true: it answered.
  using Fault = std::function<bool(VirtualDrive&, CommandContext&, uint64_t number)>;

  EraseRig(const std::filesystem::path& disc, uint64_t sectors, uint32_t sectorSize, uint32_t seed = 7)
      : OperationRig(MakeDisc(disc, sectors, sectorSize, seed)), disc_(disc) {
    Drive().SetAnswerHook([this](VirtualDrive& drive, CommandContext& command) {
      const uint8_t op = command.Opcode();
      if (op != scsi_op::kRead10 && op != scsi_op::kWrite10) return false;
      log_.push_back({op, GetBe32(command.cdb.data() + 2), GetBe16(command.cdb.data() + 7)});
      const uint64_t number = op == scsi_op::kRead10 ? ++reads_ : ++writes_;
      return fault_ && fault_(drive, command, number);
    });
  }

  void SetFault(Fault fault) { fault_ = std::move(fault); }
  const std::vector<SectorCommand>& Log() const { return log_; }
  Bytes Disc() const { return ReadWholeFile(disc_); }

 private:
  static std::shared_ptr<VirtualDrive> MakeDisc(const std::filesystem::path& disc, uint64_t sectors,
                                                uint32_t sectorSize, uint32_t seed) {
    std::error_code ec;
    std::filesystem::remove(disc, ec);
    WriteWholeFile(disc, RandomCorpus(static_cast<size_t>(sectors * sectorSize), seed));
    DrivePreset preset = *FindDrivePreset("dvdram");
    preset.blockLength = sectorSize;
    preset.blockCount = sectors;
    std::string error;
    return std::make_shared<VirtualDrive>(preset, OpenImageMedium(disc, sectorSize, sectors, false, error));
  }

  std::filesystem::path disc_;
  Fault fault_;
  std::vector<SectorCommand> log_;
  uint64_t reads_ = 0, writes_ = 0;
};

}  // namespace orv::test

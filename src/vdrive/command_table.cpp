// The commands every virtual drive answers, one handler per opcode. A new command joins by a
// handler function (in its own file when it is more than a few lines) and one row in
// kStandardCommands.
#include <algorithm>
#include <cstring>
#include <vector>

#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/mmc_answers.h"
#include "vdrive/virtual_drive.h"

namespace orv {

namespace {

// NOT READY, medium not present, when the tray is empty; true when the command may go on.
bool NeedMedium(VirtualDrive& drive, CommandContext& c) {
  if (drive.HasMedium()) return true;
  c.Fail(kSenseMediumNotPresent);
  return false;
}

bool CdbAtLeast(CommandContext& c, size_t length) {
  if (c.cdb.size() >= length) return true;
  c.Fail(kSenseInvalidFieldInCdb);
  return false;
}

// LOGICAL BLOCK ADDRESS OUT OF RANGE unless blocks [lba, lba + count) are on the medium.
bool InRange(VirtualDrive& drive, CommandContext& c, uint64_t lba, uint64_t count) {
  const uint64_t total = drive.GetMedium()->BlockCount();
  if (lba < total && count <= total - lba) return true;
  c.Fail(kSenseLbaOutOfRange);
  return false;
}

void TestUnitReadyCommand(VirtualDrive& drive, CommandContext& c) { NeedMedium(drive, c); }

// REQUEST SENSE: sense of a failed command already went back with it (autosense), so what is
// left to report is the drive's standing condition: no disc, or nothing.
void RequestSenseCommand(VirtualDrive& drive, CommandContext& c) {
  if (!CdbAtLeast(c, 6)) return;
  const SenseData sense = MakeFixedSense(drive.HasMedium() ? SenseCode{} : kSenseMediumNotPresent);
  c.SendData(sense, c.cdb[4]);
}

void InquiryCommand(VirtualDrive& drive, CommandContext& c) {
  if (!CdbAtLeast(c, 6)) return;
  const bool evpd = (c.cdb[1] & 0x01) != 0;
  const uint32_t allocation = GetBe16(c.cdb.data() + 3);
  const uint8_t type = drive.Preset().peripheralType & 0x1F;
  if (!evpd) {
    // CMDDT (bit 1) or a page code without EVPD.
    if ((c.cdb[1] & 0x02) != 0 || c.cdb[2] != 0) return c.Fail(kSenseInvalidFieldInCdb);
    c.SendData(drive.StandardInquiry(), allocation);
    return;
  }
  std::vector<uint8_t> page;
  switch (c.cdb[2]) {
    case 0x00:  // supported pages
      page = {type, 0x00, 0x00, 0x02, 0x00, 0x80};
      break;
    case 0x80: {  // unit serial number
      const char* serial = drive.Preset().serial;
      const size_t n = std::strlen(serial);
      page = {type, 0x80, 0x00, static_cast<uint8_t>(n)};
      page.insert(page.end(), serial, serial + n);
      break;
    }
    default:
      return c.Fail(kSenseInvalidFieldInCdb);
  }
  c.SendData(page, allocation);
}

void ReadCapacityCommand(VirtualDrive& drive, CommandContext& c) {
  if (!NeedMedium(drive, c)) return;
  const Medium& m = *drive.GetMedium();
  // A medium beyond 2^32 blocks answers FFFFFFFFh: the initiator must ask READ CAPACITY(16).
  const uint64_t last = m.BlockCount() - 1;
  uint8_t answer[8];
  PutBe32(answer, last > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(last));
  PutBe32(answer + 4, m.BlockLength());
  c.SendData(answer, 8);
}

void ReadCommand(VirtualDrive& drive, CommandContext& c) {
  if (!CdbAtLeast(c, 10) || !NeedMedium(drive, c)) return;
  const uint64_t lba = GetBe32(c.cdb.data() + 2);
  const uint32_t blocks = GetBe16(c.cdb.data() + 7);
  if (!InRange(drive, c, lba, blocks)) return;
  Medium& m = *drive.GetMedium();
  // The initiator's buffer bounds the transfer (an initiator that offers none gets nothing, as
  // an adapter reports an overrun): whole blocks go straight in, a last partial block goes
  // through a block-sized copy.
  const uint64_t offered = c.direction == DataDirection::kIn ? c.bufferLength : 0;
  const uint64_t wanted = uint64_t{blocks} * m.BlockLength();
  const uint32_t bytes = static_cast<uint32_t>(std::min<uint64_t>(wanted, offered));
  const uint32_t whole = bytes / m.BlockLength();
  if (whole != 0 && m.Read(lba, whole, c.buffer) != 0) return c.Fail(kSenseUnrecoveredReadError);
  const uint32_t rest = bytes - whole * m.BlockLength();
  if (rest != 0) {
    std::vector<uint8_t> block(m.BlockLength());
    if (m.Read(lba + whole, 1, block.data()) != 0) return c.Fail(kSenseUnrecoveredReadError);
    std::memcpy(c.buffer + uint64_t{whole} * m.BlockLength(), block.data(), rest);
  }
  c.outcome.transferred = bytes;
}

void WriteCommand(VirtualDrive& drive, CommandContext& c) {
  if (!CdbAtLeast(c, 10) || !NeedMedium(drive, c)) return;
  Medium& m = *drive.GetMedium();
  if (m.ReadOnly()) return c.Fail(kSenseWriteProtected);
  const uint64_t lba = GetBe32(c.cdb.data() + 2);
  const uint32_t blocks = GetBe16(c.cdb.data() + 7);
  if (!InRange(drive, c, lba, blocks)) return;
  // Only whole blocks the initiator actually sent are written; nothing when it sent no data.
  const uint64_t offered = c.direction == DataDirection::kOut ? c.bufferLength : 0;
  const uint64_t wanted = uint64_t{blocks} * m.BlockLength();
  const uint32_t whole = static_cast<uint32_t>(std::min<uint64_t>(wanted, offered) / m.BlockLength());
  if (whole != 0 && m.Write(lba, whole, c.buffer) != 0) return c.Fail(kSenseWriteError);
  c.outcome.transferred = whole * m.BlockLength();
}

void SeekCommand(VirtualDrive& drive, CommandContext& c) {
  if (!CdbAtLeast(c, 10) || !NeedMedium(drive, c)) return;
  InRange(drive, c, GetBe32(c.cdb.data() + 2), 1);
}

void VerifyCommand(VirtualDrive& drive, CommandContext& c) {
  if (!CdbAtLeast(c, 10) || !NeedMedium(drive, c)) return;
  const uint64_t lba = GetBe32(c.cdb.data() + 2);
  const uint32_t blocks = GetBe16(c.cdb.data() + 7);
  if (!InRange(drive, c, lba, blocks)) return;
  const bool byteCheck = (c.cdb[1] & 0x02) != 0;
  if (!byteCheck) return;  // the medium is readable everywhere
  Medium& m = *drive.GetMedium();
  const uint64_t wanted = uint64_t{blocks} * m.BlockLength();
  if (c.direction != DataDirection::kOut || c.bufferLength < wanted) return c.Fail(kSenseInvalidFieldInCdb);
  std::vector<uint8_t> block(m.BlockLength());
  for (uint32_t i = 0; i < blocks; ++i) {
    if (m.Read(lba + i, 1, block.data()) != 0) return c.Fail(kSenseUnrecoveredReadError);
    if (std::memcmp(block.data(), c.buffer + uint64_t{i} * m.BlockLength(), m.BlockLength()) != 0)
      return c.Fail(kSenseMiscompareDuringVerify);
  }
  c.outcome.transferred = static_cast<uint32_t>(wanted);
}

struct CommandEntry {
  uint8_t opcode;
  void (*handler)(VirtualDrive&, CommandContext&);
};

constexpr CommandEntry kStandardCommands[] = {
    {scsi_op::kTestUnitReady, TestUnitReadyCommand},
    {scsi_op::kRequestSense, RequestSenseCommand},
    {scsi_op::kInquiry, InquiryCommand},
    {scsi_op::kReadCapacity, ReadCapacityCommand},
    {scsi_op::kRead10, ReadCommand},
    {scsi_op::kWrite10, WriteCommand},
    {scsi_op::kSeek10, SeekCommand},
    {scsi_op::kVerify10, VerifyCommand},
};

}  // namespace

void InstallStandardCommands(VirtualDrive& drive) {
  for (const CommandEntry& entry : kStandardCommands) drive.SetHandler(entry.opcode, entry.handler);
  InstallMmcAnswers(drive);
}

}  // namespace orv

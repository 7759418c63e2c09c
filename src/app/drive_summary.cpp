#include "app/drive_summary.h"

#include "app/drive_list_rules.h"
#include "app/size_text.h"
#include "device/inquiry_view.h"
#include "toolkit/format.h"

namespace orv {

namespace {

// CHS fields of a slot: the cylinder's two high bits sit in the sector byte's bits 7-6.
uint32_t Cylinder(uint8_t sectorByte, uint8_t cylinderByte) {
  return cylinderByte + (sectorByte & 0xC0u) * 4u;
}

std::string PartitionLine(const PartitionEntry& entry, uint32_t blockLength) {
  const auto& r = entry.raw;
  return Format("%1s%2u [%03X %02X %02X-%03X %02X %02X] %10I64u %10I64u %02X:%-20s %7s\r\n",
                entry.Bootable() ? "*" : "", static_cast<uint32_t>(entry.number + 1),
                Cylinder(r[2], r[3]), uint32_t{r[1]}, uint32_t{r[2] & 0x3Fu}, Cylinder(r[6], r[7]),
                uint32_t{r[5]}, uint32_t{r[6] & 0x3Fu}, entry.start, entry.sectorCount,
                uint32_t{entry.Type()}, PartitionTypeName(entry.Type()),
                FormatSize(static_cast<int64_t>(entry.sectorCount * blockLength)));
}

}  // namespace

std::string DriveSummaryText(const DriveRecord& record, int partitionResult,
                             const PartitionList& partitions) {
  std::string text = record.name + " " + IdentificationText(record) + "\r\n";
  const uint64_t blockCount = record.BlockCount();
  const uint32_t blockLength = record.BlockLength();
  if (blockCount == 0 || blockLength == 0) return text;

  const uint64_t bytes = blockCount * blockLength;
  text += Format("    容量 %,I64u×%,I64u = %,I64uバイト (%s)\r\n", blockCount, uint64_t{blockLength},
                 bytes, FormatSize(static_cast<int64_t>(bytes)));
  if (partitionResult < 1) return text;

  text += " No [開始 CHS - 終了 CHS] 開始セクタ   セクタ数 HH:パーティション\r\n";
  for (const PartitionEntry& entry : partitions) {
    // The links inside the chain (depth 2 and more) are bookkeeping, not partitions.
    if (entry.depth < 2 && entry.number >= 0) text += PartitionLine(entry, blockLength);
  }
  for (const PartitionEntry& entry : partitions) {
    if (entry.number < 0) {
      text += Format("                          %10I64u %10I64u   :（未使用）\r\n", entry.start,
                     entry.sectorCount);
    }
  }
  return text;
}

int ReadSummaryPartitions(DeviceHandle& device, const DriveRecord& record, PartitionList& partitions) {
  return record.BlockCount() > 0 && record.BlockLength() > 0 ? ReadPartitions(device, record, partitions) : -1;
}

std::string DriveSummary(DeviceHandle& device, const DriveRecord& record) {
  PartitionList partitions;
  const int result = ReadSummaryPartitions(device, record, partitions);
  return DriveSummaryText(record, result, partitions);
}

}  // namespace orv

// The partition reader on a drive: the table walk fed by READ(10) through the device handle.
#include "device/drive_list.h"
#include "device/partition_table.h"
#include "device/scsi_commands.h"

namespace orv {

int ReadPartitions(DeviceHandle& device, const DriveRecord& record, PartitionList& list) {
  list.clear();
  device.Close();
  if (device.Open(record.path.c_str(), kOpenSharedReadWrite) != 0) return -1;
  const BlockReader read = [&](uint64_t lba, std::span<uint8_t> block) {
    return Read10(device, record.Address(), lba, 1, static_cast<uint32_t>(block.size()), block.data());
  };
  const int result = ReadPartitionTable(read, record.BlockCount(), record.BlockLength(), list);
  device.Close();
  return result;
}

}  // namespace orv

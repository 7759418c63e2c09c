#include "report/build_report.h"

#include <algorithm>
#include <new>
#include <vector>

#include "device/scsi_commands.h"
#include "report/capacity_section.h"
#include "report/configuration.h"
#include "report/dvd_structure.h"
#include "report/mode_sense.h"
#include "toolkit/endian.h"
#include "toolkit/ui.h"
#include "toolkit/worker.h"

namespace orv {
namespace {

// Answer buffers, as large as the commands may fill them.
constexpr uint32_t kModeSense6Length = 255;
constexpr uint32_t kModeSense10Length = 4096;
constexpr uint32_t kConfigurationLength = 4096;
constexpr uint32_t kStructureListLength = 1028;
constexpr uint32_t kStructureLength = 4096;

constexpr uint8_t kAllModePages = 0x3F;
constexpr uint8_t kStructureList = 0xFF;

uint8_t Byte(uint32_t v) { return static_cast<uint8_t>(v); }

}  // namespace

void AddCapacityGeometrySection(DriveReport& report, DeviceHandle& device, std::span<const uint8_t> capacity) {
  uint8_t raw[24] = {};
  if (device.GetDriveGeometry(raw) != 0) {
    AddCapacitySection(report, capacity, nullptr);
    return;
  }
  const DiskGeometry g = DecodeDiskGeometry(raw);
  const ReportGeometry geometry{g, MediaTypeName(g.mediaType)};
  AddCapacitySection(report, capacity, &geometry);
}

int AddModeSenseSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit) {
  // Every page, current values, without block descriptors: MODE SENSE(6) first, as every
  // drive knows it, then MODE SENSE(10) for drives that refuse it or answer it emptily.
  std::vector<uint8_t> buffer(kModeSense10Length, 0);
  int commandLength = 6;
  // The whole cleared buffer stands behind either answer: a MODE SENSE(6) mode data length of
  // 255 makes a 256-byte answer, whose last byte the 255-byte transfer leaves at zero.
  const std::span<const uint8_t> answer(buffer);
  if (ModeSense(device, unit.Address(), true, 0, kAllModePages, kModeSense6Length, buffer.data()) != 0 ||
      ModeSense6AnswerIsEmpty(answer)) {
    std::fill(buffer.begin(), buffer.end(), 0);
    if (ModeSense(device, unit.Address(), true, 0, kAllModePages, kModeSense10Length, buffer.data()) != 0) {
      return -1;
    }
    commandLength = 10;
  }
  AddModeSenseAnswer(report, commandLength, answer, unit.inquiryData);
  return 0;
}

int AddConfigurationSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit) {
  std::vector<uint8_t> buffer(kConfigurationLength, 0);
  uint32_t moved = 0;
  if (GetConfiguration(device, unit.Address(), 0, 0, kConfigurationLength, buffer.data(), &moved) != 0) {
    return -1;
  }
  // Only what the drive returned: a list cut short ends there, rather than going on into the
  // cleared buffer as features "0000H" of no length.
  AddConfigurationAnswer(report, std::span<const uint8_t>(buffer).first(std::min<size_t>(moved, buffer.size())));
  return 0;
}

int AddDvdStructureSections(DriveReport& report, DeviceHandle& device, const ScsiUnit& unit, uint32_t blockLength) {
  std::vector<uint8_t> list(kStructureListLength);
  std::vector<uint8_t> structure(kStructureLength);
  // The physical format information of each layer tells how many layers there are; the walk
  // goes on while it learns of more (at most four: the field has two bits).
  uint32_t layers = 1;
  for (uint32_t layer = 0; layer < layers; ++layer) {
    std::fill(list.begin(), list.end(), 0);
    const int rc = ReadDvdStructure(device, unit.Address(), 0, kStructureList, Byte(layer), kStructureListLength,
                                    list.data());
    if (rc != 0) return -1;
    if (!AddDvdLayerHead(report, Byte(layer), layer == 0 ? kSectionHead : kSectionChild, list)) continue;

    for (const DvdListedFormat& entry : DvdStructureList(list)) {
      if (entry.format == kStructureList) continue;
      if (layer > 0 && !DvdStructureIsPerLayer(entry.format)) continue;
      const uint32_t allocation = std::min<uint32_t>(uint32_t{entry.length} + 4, kStructureLength);
      std::fill(structure.begin(), structure.end(), 0);
      // A format the drive refuses (a key format without authentication) has no section.
      if (ReadDvdStructure(device, unit.Address(), 0, entry.format, Byte(layer), allocation, structure.data()) != 0) {
        continue;
      }
      const uint32_t mediumLayers = AddDvdStructureSection(
          report, entry.format, Byte(layer), std::span<const uint8_t>(structure.data(), allocation), blockLength);
      layers = std::max(layers, mediumLayers);
    }
  }
  return 0;
}

int BuildDriveReport(DriveReport& report, DeviceHandle& device, const DriveRecord& drive) {
  // The gathering runs on a worker thread: running out of memory ends it with -1 here rather
  // than letting the exception cross the thread's boundary.
  try {
    report.Clear();
    report.SetIdentification(IdentificationLine(drive.name, drive.unit.inquiryData));
    AddCapacityGeometrySection(report, device, drive.capacity);
    AddModeSenseSections(report, device, drive.unit);
    AddConfigurationSections(report, device, drive.unit);
    AddDvdStructureSections(report, device, drive.unit, drive.BlockLength());
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

int OpenReportDrive(DeviceHandle& device, const DriveRecord& drive) {
  device.Close();
  return device.Open(drive.path.c_str(), kOpenSharedReadWrite) == 0 ? 0 : -1;
}

int GatherOpenDriveReport(Ui& ui, DriveReport& report, DeviceHandle& device, const DriveRecord& drive) {
  const ProgressBoxSpec boxSpec{"デバイス情報を取得しています。", kAppTitle, "キャンセル", false, 0};
  // Cancelled by the box's button or by the program being asked to quit; the worker reads the
  // stop flag once the drive commands are done, and the runner's join makes that visible here.
  bool cancelled = false;
  bool stopped = false;
  const int rc = RunWorkerWithProgress(
      ui, boxSpec,
      [&](WorkerContext& context) {
        BuildDriveReport(report, device, drive);
        stopped = context.StopRequested();
      },
      [&cancelled] { cancelled = true; });
  if (rc != 0) return -1;
  if (cancelled || stopped) {
    report.Clear();
    return 1;
  }
  return 0;
}

int GatherDriveReport(Ui& ui, DriveReport& report, DeviceHandle& device, const DriveRecord& drive) {
  if (OpenReportDrive(device, drive) != 0) return -1;
  return GatherOpenDriveReport(ui, report, device, drive);
}

}  // namespace orv

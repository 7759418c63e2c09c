#include "report/capacity_section.h"

#include "device/inquiry_view.h"
#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

constexpr int kValueColumn = 40;
constexpr int kValueWidth = 16;

}  // namespace

std::string IdentificationLine(std::string_view driveName, std::span<const uint8_t> inquiry) {
  return Format("%s %s", std::string(driveName), InquiryView(inquiry).IdentificationText());
}

void AddCapacitySection(DriveReport& report, std::span<const uint8_t> capacity, const ReportGeometry* geometry) {
  if (capacity.size() < 8) return;
  const uint64_t blockCount = GetBe32(capacity.data());
  const uint64_t blockLength = GetBe32(capacity.data() + 4);
  if (blockCount == 0 || blockLength == 0) return;

  ReportSection& section = report.AddSection(kSectionCapacity, kSectionHead, "Capacity/Geometory");
  section.valueA = blockCount;
  section.valueB = blockLength;
  std::string& text = section.text;

  std::string value;
  // The block count is shown under this label; it is one more than the last address.
  AppendColumns(text, {{0, "Logical Block Address"}, {kValueColumn, FormatText(value, "%*,I64u", kValueWidth, blockCount)}});
  AppendColumns(text, {{0, "Block Length"}, {kValueColumn, FormatText(value, "%*,I64u", kValueWidth, blockLength)}});
  AppendColumns(text, {{0, "Total Capacity"},
                       {kValueColumn, FormatText(value, "%*,I64u", kValueWidth, blockCount * blockLength)}});
  if (geometry == nullptr) return;
  report.SetGeometry(*geometry);

  std::string code;
  AppendColumns(text, {{0, "Media Type"},
                       {54, FormatText(code, "%02XH", geometry->mediaType)},
                       {58, FormatText(value, "%s", geometry->mediaTypeName)}});

  const std::string shape = Format(" %I64u/%u/%u : %u", geometry->cylinders, geometry->tracksPerCylinder,
                                   geometry->sectorsPerTrack, geometry->bytesPerSector);
  const uint64_t bytes = uint64_t{geometry->tracksPerCylinder} * geometry->sectorsPerTrack *
                         geometry->bytesPerSector * geometry->cylinders;
  const std::string size = Format("(%,I64u)", bytes);
  AppendColumns(text, {{0, "Cylinder/Track/Sector:Size"}, {56 - static_cast<int>(shape.size()), shape}, {58, size}});
}

}  // namespace orv

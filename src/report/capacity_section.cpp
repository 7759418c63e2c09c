#include "report/capacity_section.h"

#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

// The bytes [begin, begin + width) of `data` up to the first NUL; what lies outside the data is
// absent, as an INQUIRY answer shorter than 36 bytes has no such field.
std::string InquiryField(std::span<const uint8_t> data, size_t begin, size_t width) {
  std::string field;
  for (size_t i = begin; i < begin + width && i < data.size() && data[i] != 0; ++i) {
    field += static_cast<char>(data[i]);
  }
  return field;
}

constexpr int kValueColumn = 40;
constexpr int kValueWidth = 16;

}  // namespace

std::string IdentificationLine(std::string_view driveName, std::span<const uint8_t> inquiry) {
  const std::string line = Format("%.8s %.16s %.4s", InquiryField(inquiry, 8, 8), InquiryField(inquiry, 16, 16),
                                  InquiryField(inquiry, 32, 4));
  return Format("%s %s", std::string(driveName), line);
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

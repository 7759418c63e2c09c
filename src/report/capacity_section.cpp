#include "report/capacity_section.h"

#include <initializer_list>
#include <vector>

#include "device/inquiry_view.h"
#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

constexpr int kValueColumn = 40;
constexpr int kValueWidth = 16;

// The product in decimal with thousands separators, exact at any size: a driver's geometry of
// 64-bit cylinders times three 32-bit fields can pass 64 bits, and a wrapped figure would be a
// plainly wrong capacity. Digits are kept least significant first.
std::string GroupedProduct(uint64_t first, std::initializer_list<uint32_t> factors) {
  std::vector<uint8_t> digits;
  for (; first != 0; first /= 10) digits.push_back(static_cast<uint8_t>(first % 10));
  for (const uint32_t factor : factors) {
    uint64_t carry = 0;  // below 2^32 * 10, so digit * factor + carry fits
    for (uint8_t& digit : digits) {
      const uint64_t v = uint64_t{digit} * factor + carry;
      digit = static_cast<uint8_t>(v % 10);
      carry = v / 10;
    }
    for (; carry != 0; carry /= 10) digits.push_back(static_cast<uint8_t>(carry % 10));
  }
  while (digits.size() > 1 && digits.back() == 0) digits.pop_back();
  if (digits.empty()) digits.push_back(0);
  std::string text;
  for (size_t i = digits.size(); i-- > 0;) {
    text += static_cast<char>('0' + digits[i]);
    if (i != 0 && i % 3 == 0) text += ',';
  }
  return text;
}

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
  const std::string size =
      "(" + GroupedProduct(geometry->cylinders, {geometry->tracksPerCylinder, geometry->sectorsPerTrack,
                                                 geometry->bytesPerSector}) + ")";
  AppendColumns(text, {{0, "Cylinder/Track/Sector:Size"}, {56 - static_cast<int>(shape.size()), shape}, {58, size}});
}

}  // namespace orv

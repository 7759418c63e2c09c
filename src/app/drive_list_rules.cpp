#include "app/drive_list_rules.h"

#include "app/size_text.h"

namespace orv {

namespace {

struct DriveTypeTextEntry {
  uint32_t driveType;
  const char* text;
};

constexpr DriveTypeTextEntry kDriveTypeTexts[] = {
    {2, "Removable Drive"}, {3, "Fixed Drive"},    {4, "Remove/Network Drive"},
    {5, "CD/DVD-ROM Drive"}, {6, "RAM DISK Drive"},
};

// Inquiry bytes [first, first + length) up to the first zero byte, never past the data.
std::string InquiryField(std::span<const uint8_t> inquiry, size_t first, size_t length) {
  std::string text;
  for (size_t i = first; i < first + length && i < inquiry.size() && inquiry[i] != 0; ++i) {
    text.push_back(static_cast<char>(inquiry[i]));
  }
  return text;
}

uint8_t InquiryByte(const DriveRecord& record, size_t index) {
  return index < record.unit.inquiryData.size() ? record.unit.inquiryData[index] : 0;
}

bool HasMedium(const DriveRecord& record) { return record.BlockCount() > 0 && record.BlockLength() > 0; }

}  // namespace

std::string IdentificationText(std::span<const uint8_t> inquiry) {
  return InquiryField(inquiry, 8, 8) + " " + InquiryField(inquiry, 16, 16) + " " +
         InquiryField(inquiry, 32, 4);
}

const char* DriveTypeText(uint32_t driveType) {
  for (const DriveTypeTextEntry& entry : kDriveTypeTexts) {
    if (entry.driveType == driveType) return entry.text;
  }
  return "";
}

std::string DeviceOrDriveTypeText(const DriveRecord& record) {
  if (InquiryByte(record, 2) & 0x03) {
    std::string buffer;
    return DeviceTypeName(InquiryByte(record, 0) & 0x1F, &buffer);
  }
  return DriveTypeText(record.driveType);
}

bool IsRemovable(const DriveRecord& record) { return (InquiryByte(record, 1) & 0x80) != 0; }

const char* RemovableText(const DriveRecord& record) { return IsRemovable(record) ? "RMB" : "FIX"; }

std::string SizeText(const DriveRecord& record) {
  if (!HasMedium(record)) return "";
  return FormatSize(static_cast<int64_t>(record.CapacityBytes()));
}

DriveRowText DriveRow(const DriveRecord& record) {
  return {record.name, IdentificationText(record.unit.inquiryData), DeviceOrDriveTypeText(record),
          RemovableText(record), SizeText(record)};
}

DriveCommandState CommandState(const DriveRecord* chosen) {
  DriveCommandState state;
  if (!chosen) return state;
  state.information = true;
  state.benchmark = HasMedium(*chosen);
  state.imageWrite = state.benchmark && IsRemovable(*chosen);
  state.erase = state.imageWrite;
  return state;
}

}  // namespace orv

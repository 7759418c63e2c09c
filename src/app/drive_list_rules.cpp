#include "app/drive_list_rules.h"

#include "app/size_text.h"
#include "device/inquiry_view.h"

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

bool HasMedium(const DriveRecord& record) { return record.BlockCount() > 0 && record.BlockLength() > 0; }

}  // namespace

const char* DriveTypeText(uint32_t driveType) {
  for (const DriveTypeTextEntry& entry : kDriveTypeTexts) {
    if (entry.driveType == driveType) return entry.text;
  }
  return "";
}

std::string DeviceOrDriveTypeText(const DriveRecord& record) {
  const InquiryView inquiry(record.unit);
  if (inquiry.Version() & 0x03) {
    std::string buffer;
    return DeviceTypeName(inquiry.DeviceType(), &buffer);
  }
  return DriveTypeText(record.driveType);
}

bool IsRemovable(const DriveRecord& record) { return InquiryView(record.unit).RemovableMedium(); }

const char* RemovableText(const DriveRecord& record) { return IsRemovable(record) ? "RMB" : "FIX"; }

std::string SizeText(const DriveRecord& record) {
  if (!HasMedium(record)) return "";
  return FormatSize(static_cast<int64_t>(record.CapacityBytes()));
}

DriveRowText DriveRow(const DriveRecord& record) {
  return {record.name, IdentificationText(record), DeviceOrDriveTypeText(record),
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

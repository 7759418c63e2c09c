#include "app/drive_list_rules.h"

#include "app/size_text.h"
#include "device/inquiry_view.h"
#include "toolkit/name_table.h"

namespace orv {

namespace {

constexpr CodeName<uint32_t> kDriveTypeTexts[] = {
    {2, "Removable Drive"}, {3, "Fixed Drive"},    {4, "Remove/Network Drive"},
    {5, "CD/DVD-ROM Drive"}, {6, "RAM DISK Drive"},
};

bool HasMedium(const DriveRecord& record) { return record.BlockCount() > 0 && record.BlockLength() > 0; }

}  // namespace

const char* DriveTypeText(uint32_t driveType) { return LookUpName(kDriveTypeTexts, driveType); }

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
  state.backup = state.benchmark;
  return state;
}

}  // namespace orv

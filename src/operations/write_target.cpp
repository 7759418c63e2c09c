#include "operations/write_target.h"

#include "device/scsi_commands.h"

namespace orv {

namespace {

// The header asked for is that of MODE SENSE(10) (256 bytes or more), which MMC drives answer;
// many of them refuse the six-byte form.
constexpr uint32_t kModeSenseLength = 256;
constexpr uint8_t kAllPages = 0x3F;
constexpr uint8_t kWriteProtectBit = 0x80;

MessageBoxSpec ErrorBox(const char* text) {
  MessageBoxSpec box;
  box.text = text;
  box.caption = kErrorCaption;
  box.style = kBoxOk | kBoxIconError;
  return box;
}

int OpenEitherWay(Ui& ui, DeviceHandle& device, const DriveRecord& record) {
  if (device.IsOpen()) device.Close();
  if (device.Open(record.path.c_str(), kOpenExclusiveReadWrite) == 0) return 0;

  MessageBoxSpec question;
  question.text = kSharedModeQuestion;
  question.caption = kErrorCaption;
  question.style = kBoxYesNo | kBoxIconError;
  question.note = kSharedModeNote;
  question.question = QuestionId::kSharedMode;
  if (ui.ShowBox(question) != kIdYes) return -1;

  if (device.Open(record.path.c_str(), kOpenSharedReadWrite) == 0) return 0;
  ui.ShowBox(ErrorBox(kTargetCannotOpen));
  return -1;
}

}  // namespace

bool MediumWriteProtected(DeviceHandle& device, const DriveRecord& record) {
  uint8_t header[kModeSenseLength] = {};
  if (ModeSense(device, record.Address(), true, 0, kAllPages, kModeSenseLength, header) != 0) return false;
  return (header[3] & kWriteProtectBit) != 0;
}

int OpenWriteTarget(Ui& ui, DeviceHandle& device, const DriveRecord& record, bool* writeProtected) {
  if (writeProtected) *writeProtected = false;
  if (OpenEitherWay(ui, device, record) != 0) return -1;
  if (!MediumWriteProtected(device, record)) return 0;
  device.Close();
  if (writeProtected) *writeProtected = true;
  ui.ShowBox(ErrorBox(kTargetWriteProtected));
  return -1;
}

}  // namespace orv

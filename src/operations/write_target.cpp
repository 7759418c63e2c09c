#include "operations/write_target.h"

namespace orv {

int OpenWriteTarget(Ui& ui, DeviceHandle& device, const DriveRecord& record) {
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
  MessageBoxSpec failure;
  failure.text = kTargetCannotOpen;
  failure.caption = kErrorCaption;
  failure.style = kBoxOk | kBoxIconError;
  ui.ShowBox(failure);
  return -1;
}

}  // namespace orv

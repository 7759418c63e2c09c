#include "operations/drive_failure_text.h"

#include "toolkit/name_table.h"

namespace orv {

namespace {

constexpr CodeName<ScsiOutcome> kOutcomeTexts[] = {
    {ScsiOutcome::kGood, "ドライブが要求より少ないデータしか転送しませんでした。"},
    {ScsiOutcome::kNotReady, "ドライブの準備ができていません。"},
    {ScsiOutcome::kNoMedium, "ドライブにディスクが入っていません。"},
    {ScsiOutcome::kUnitAttention, "ドライブが状態の変化を報告し続けています。"},
    {ScsiOutcome::kIllegalRequest, "ドライブがコマンドを受け付けませんでした。"},
    {ScsiOutcome::kMediumError, "ディスクのこの位置を読み書きできません (メディア エラー)。"},
    {ScsiOutcome::kOtherFailure, "ドライブがエラーを返しました。"},
};

}  // namespace

std::string DriveFailureText(const DeviceHandle& device) {
  if (device.LastOutcome() == ScsiOutcome::kTransportError) return SystemErrorText(device.LastError());
  return LookUpName(kOutcomeTexts, device.LastOutcome(), "ドライブがエラーを返しました。");
}

}  // namespace orv

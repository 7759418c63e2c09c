#include "operations/erase_pass.h"

#include "operations/erase_texts.h"
#include "toolkit/format.h"
#include "toolkit/name_table.h"

namespace orv {

namespace {

// The drive's answer, by category, in the terms of its sense key (SPC).
constexpr CodeName<ScsiOutcome> kOutcomeReasons[] = {
    {ScsiOutcome::kNotReady, "NOT READY"},
    {ScsiOutcome::kNoMedium, "NOT READY: MEDIUM NOT PRESENT"},
    {ScsiOutcome::kUnitAttention, "UNIT ATTENTION"},
    {ScsiOutcome::kIllegalRequest, "ILLEGAL REQUEST"},
    {ScsiOutcome::kMediumError, "MEDIUM ERROR"},
    {ScsiOutcome::kOtherFailure, "CHECK CONDITION"},
};

// The scale of the progress bar: a 32-bit range holds any disc's sector count.
uint32_t BarValue(uint64_t value) { return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value); }

}  // namespace

ErasePass::ErasePass(Ui& ui, ProgressSink* sink, uint64_t totalSteps) : ui_(ui), sink_(sink), total_(totalSteps) {
  if (sink_) sink_->SetRange(BarValue(total_));
}

void ErasePass::BeforeSector(const char* label, uint64_t done, uint64_t count) {
  // One look at the queue, without waiting: the drive, not the user, sets the pace.
  ui_.ProcessMessages(0);
  if (!sink_) return;
  sink_->SetStatus(Format(kEraseStatusFormat, label, done + 1, count));
  sink_->SetPosition(BarValue(steps_++));
}

void ErasePass::Show(const char* label) {
  ui_.ProcessMessages(0);
  if (sink_) sink_->SetStatus(label);
}

std::string TransferFailureReason(const DeviceHandle& device, int moved, uint32_t wanted) {
  const ScsiOutcome outcome = device.LastOutcome();
  if (moved < 0 && outcome == ScsiOutcome::kTransportError) return SystemErrorText(device.LastError());
  if (outcome == ScsiOutcome::kGood)
    return Format("%d/%u bytes", moved < 0 ? 0 : moved, wanted);  // GOOD, but a short transfer
  return LookUpName(kOutcomeReasons, outcome, "CHECK CONDITION");
}

}  // namespace orv

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

ErasePass::ErasePass(Ui& ui, ProgressSink* sink, uint64_t totalSteps, const bool* stopRequested)
    : ui_(ui), sink_(sink), total_(totalSteps), stopRequested_(stopRequested) {
  if (sink_) sink_->SetRange(BarValue(total_));
}

bool ErasePass::BeforeSector(const char* label, uint64_t done, uint64_t count, bool canStop) {
  // One look at the queue, without waiting: the drive, not the user, sets the pace.
  ui_.ProcessMessages(0);
  if (canStop && stopRequested_ != nullptr && *stopRequested_) {
    stopped_ = true;
    return false;
  }
  if (!sink_) return true;
  sink_->SetStatus(Format(kEraseStatusFormat, label, done + 1, count));
  sink_->SetPosition(BarValue(steps_++));
  return true;
}

bool ErasePass::Show(const char* label) {
  ui_.ProcessMessages(0);
  if (stopRequested_ != nullptr && *stopRequested_) {
    stopped_ = true;
    return false;
  }
  if (sink_) sink_->SetStatus(label);
  return true;
}

std::string TransferFailureReason(const DeviceHandle& device, int moved, uint32_t wanted) {
  const ScsiOutcome outcome = device.LastOutcome();
  if (moved < 0 && outcome == ScsiOutcome::kTransportError) return SystemErrorText(device.LastError());
  if (outcome == ScsiOutcome::kGood)
    return Format("%d/%u bytes", moved < 0 ? 0 : moved, wanted);  // GOOD, but a short transfer
  return LookUpName(kOutcomeReasons, outcome, "CHECK CONDITION");
}

}  // namespace orv

#include "operations/image_write_progress.h"

#include "operations/image_write_texts.h"
#include "toolkit/format.h"

namespace orv {

void RemainingTimeEstimate::Start(uint64_t nowMs) {
  startMs_ = nowMs;
  lastSeen_ = 0;
  sinceEstimate_ = 0;
  lastEstimateMs_ = nowMs;
  lastEstimateClock_ = nowMs;
  remaining_.clear();
}

bool RemainingTimeEstimate::Update(uint64_t done, uint64_t total, uint64_t nowMs) {
  if (done == lastSeen_) return false;
  // The count only grows within a run; a smaller one starts the count of moved sectors afresh.
  sinceEstimate_ += done > lastSeen_ ? done - lastSeen_ : 0;
  lastSeen_ = done;
  if (nowMs - lastEstimateMs_ > kIntervalMs && sinceEstimate_ > 0) {
    const uint64_t clock = nowMs;
    if (clock > lastEstimateClock_) {
      // At least 5 whole seconds: the last estimate was at the start or later.
      const uint64_t seconds = (nowMs - startMs_) / 1000;
      const uint64_t average = seconds != 0 ? done / seconds : 0;
      const uint64_t recent = sinceEstimate_ * 1000 / (clock - lastEstimateClock_);
      const uint64_t rate = (average + recent) / 2;
      const uint64_t left = total > done ? total - done : 0;
      remaining_ = rate == 0 ? std::string() : RemainingTimeText(left / rate);
      sinceEstimate_ = 0;
      lastEstimateClock_ = clock;
    }
    lastEstimateMs_ = nowMs;
  }
  return true;
}

std::string RemainingTimeText(uint64_t seconds) {
  const auto minutes = static_cast<uint32_t>(seconds / 60);
  if (seconds > 300) return Format(kRemainingMinutes, minutes);
  if (seconds > 60) return Format(kRemainingMinutesSeconds, minutes, static_cast<uint32_t>(seconds % 60));
  return Format(kRemainingSeconds, static_cast<uint32_t>(seconds));
}

uint32_t PercentDone(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  return static_cast<uint32_t>(done * 100 / total);
}

std::string ProgressLine(bool verifying, uint64_t done, uint64_t total, const std::string& remaining) {
  return Format(verifying ? kVerifyStatus : kWriteStatus, done, total, PercentDone(done, total), remaining);
}

std::string ElapsedText(uint64_t seconds) {
  if (seconds >= 60) {
    return Format(kElapsedMinutesSeconds, static_cast<uint32_t>(seconds / 60), static_cast<uint32_t>(seconds % 60));
  }
  return Format(kElapsedSeconds, static_cast<uint32_t>(seconds));
}

}  // namespace orv

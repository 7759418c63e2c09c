// The image write's progress line and its remaining-time estimate, worked out on the
// user-interface thread from the sector count the worker keeps.
//
// The estimate is renewed only after more than 5 s and only when sectors moved since: a rate
// taken over a shorter time swings with every seek and every buffer the drive flushes. The rate
// is the mean of the average since the start and the rate since the last estimate, so the text
// follows a drive that slows down (an outer-to-inner zone change) without jumping on one slow
// transfer. Every time comes from a monotonic clock, so a change of the system time cannot
// make an interval negative or zero.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

class RemainingTimeEstimate {
 public:
  // More than this many milliseconds pass between two estimates.
  static constexpr uint64_t kIntervalMs = 5000;

  // A new run starting at `nowMs`: no estimate yet, nothing seen.
  void Start(uint64_t nowMs);

  // One progress update with `done` of `total` sectors at `nowMs`. False (nothing changes) when
  // `done` has not moved since the last update; true when the line is to be shown again.
  bool Update(uint64_t done, uint64_t total, uint64_t nowMs);

  // " - 残り…" or "" before the first estimate and when the rate rounds to 0.
  const std::string& RemainingText() const { return remaining_; }

 private:
  uint64_t startMs_ = 0;
  uint64_t lastSeen_ = 0;           // sectors done at the last update
  uint64_t sinceEstimate_ = 0;      // sectors moved since the last estimate
  uint64_t lastEstimateMs_ = 0;     // when the last estimate was due
  uint64_t lastEstimateClock_ = 0;  // when the last estimate's rate was taken
  std::string remaining_;
};

// The remaining time of `seconds`: minutes alone above 5 minutes, minutes and seconds above one
// minute, else seconds.
std::string RemainingTimeText(uint64_t seconds);

// Whole percent of `done` in `total`; a run with nothing to write is complete (100).
uint32_t PercentDone(uint64_t done, uint64_t total);

// "%I64u/%I64u (%u%%)%s" with the remaining-time text; the verify pass's line says so.
std::string ProgressLine(bool verifying, uint64_t done, uint64_t total, const std::string& remaining);

// The time taken as the final box shows it: "%u分%u秒" from one minute on, else "%u秒".
std::string ElapsedText(uint64_t seconds);

}  // namespace orv

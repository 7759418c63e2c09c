// The one classification of a command's outcome: which answers are reissued, the category of every other.
#include "scsi/outcome.h"

#include <gtest/gtest.h>

#include <vector>

#include "scsi/sense.h"
#include "scsi/status.h"

namespace orv {
namespace {

// The 14-byte sense area the program asks for, in fixed format, as a driver leaves it.
std::vector<uint8_t> Sense(uint8_t key, uint8_t asc, uint8_t ascq = 0, uint8_t additionalLength = 10) {
  std::vector<uint8_t> sense(14, 0);
  sense[0] = 0x70, sense[2] = key, sense[7] = additionalLength, sense[12] = asc, sense[13] = ascq;
  return sense;
}

TEST(ScsiOutcome, EachAnswerHasItsCategory) {
  using enum ScsiOutcome;
  constexpr uint8_t kCheck = kScsiStatusCheckCondition;
  const struct {
    const char* name;
    bool delivered;
    uint8_t status;
    std::vector<uint8_t> sense;
    ScsiOutcome expected;
  } cases[] = {
      {"good_with_stale_sense_bytes", true, kScsiStatusGood, Sense(0x2, 0x3A), kGood},
      {"system_call_failed_whatever_the_status", false, kCheck, Sense(0x6, 0x28), kTransportError},
      // The reissue rule: ASC 28h or 23h in sense that states the whole fixed format; key and
      // qualifier are not looked at.
      {"medium_may_have_changed", true, kCheck, Sense(0x6, 0x28), kUnitAttention},
      {"asc_23h", true, kCheck, Sense(0x6, 0x23), kUnitAttention},
      {"asc_28h_under_not_ready", true, kCheck, Sense(0x2, 0x28), kUnitAttention},
      {"asc_28h_additional_length_9", true, kCheck, Sense(0x6, 0x28, 0, 9), kOtherFailure},
      {"asc_28h_additional_length_255", true, kCheck, Sense(0x6, 0x28, 0, 255), kUnitAttention},
      {"power_on_reset_is_not_reissued", true, kCheck, Sense(0x6, 0x29), kOtherFailure},
      {"no_medium_tray_open", true, kCheck, Sense(0x2, 0x3A, 0x02), kNoMedium},
      {"becoming_ready", true, kCheck, Sense(0x2, 0x04, 0x01), kNotReady},
      {"asc_3ah_under_another_key", true, kCheck, Sense(0x5, 0x3A), kIllegalRequest},
      {"unrecovered_read_error", true, kCheck, Sense(0x3, 0x11), kMediumError},
      {"key_in_the_low_bits_only", true, kCheck, Sense(0xE5, 0x24), kIllegalRequest},
      {"check_condition_without_sense", true, kCheck, std::vector<uint8_t>(14, 0), kOtherFailure},
      {"sense_area_too_short_for_the_codes", true, kCheck, {0x70, 0, 0x6, 0, 0, 0, 0, 10}, kOtherFailure},
      {"busy", true, kScsiStatusBusy, Sense(0x6, 0x28), kOtherFailure},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<int>(ClassifyOutcome(c.delivered, c.status, c.sense)), static_cast<int>(c.expected))
        << c.name;
  }
}

}  // namespace
}  // namespace orv

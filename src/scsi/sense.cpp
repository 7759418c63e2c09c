#include "scsi/sense.h"

namespace orv {

SenseData MakeFixedSense(SenseCode code) {
  SenseData s{};
  s[kSenseResponseCodeAt] = 0x70;  // current error, fixed format
  s[kSenseKeyAt] = code.key & 0x0F;
  s[kSenseAdditionalLengthAt] = kFixedSenseAdditionalLength;
  s[kSenseAscAt] = code.asc;
  s[kSenseAscqAt] = code.ascq;
  return s;
}

}  // namespace orv

#include "device/ports/device_path.h"

#include <cstring>

#include "toolkit/sjis.h"

namespace orv {

namespace {

uint8_t AsciiLower(uint8_t c) { return (c >= 'A' && c <= 'Z') ? uint8_t(c + 32) : c; }

// True when `path` begins with `prefix`, ASCII case ignored. Double-byte CP932 characters are
// compared whole, so a trail byte that happens to be a letter never matches a prefix letter.
bool HasPrefixNoCase(const char* path, const char* prefix) {
  const auto* p = reinterpret_cast<const uint8_t*>(path);
  const auto* q = reinterpret_cast<const uint8_t*>(prefix);
  while (*q != 0) {
    if (*p == 0) return false;
    if (IsSjisLeadByte(*p)) {
      if (p[0] != q[0] || p[1] == 0 || p[1] != q[1]) return false;
      p += 2;
      q += 2;
      continue;
    }
    if (AsciiLower(*p) != AsciiLower(*q)) return false;
    ++p;
    ++q;
  }
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

DevicePathKind ClassifyDevicePath(const char* path) {
  if (path == nullptr) return kPathOther;
  if (HasPrefixNoCase(path, "\\\\.\\PhysicalDrive")) return kPathPhysicalDrive;
  if (std::strlen(path) == 6 && HasPrefixNoCase(path, "\\\\.\\") && IsAsciiLetter(path[4]) && path[5] == ':')
    return kPathDriveLetter;
  if (HasPrefixNoCase(path, "\\\\.\\scsi")) return kPathScsiPort;
  return kPathOther;
}

}  // namespace orv

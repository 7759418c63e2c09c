// The virtual drives the program knows by name: each a realistic device with its disc.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace orv {

// The optional timing model: when enabled, every command takes the time a real drive would,
// so a benchmark on a virtual drive shows believable figures. Off by default.
struct TimingModel {
  // How the disc turns while it is read. At a constant linear velocity the drive slows the
  // spindle as the head moves out, so every place on the disc reads at `transferMBps`. At a
  // constant angular velocity the spindle keeps its speed and the rate grows with the radius:
  // `transferMBps` at the outer edge, that divided by `radiusRatio` at the inner edge.
  enum class Spin : uint8_t { kConstantLinear, kConstantAngular };
  Spin spin = Spin::kConstantLinear;
  double radiusRatio = 1;        // outer / inner radius of the data area (constant angular only)
  double commandOverheadMs = 0;  // per command, whatever it does
  double trackToTrackSeekMs = 0;  // seek over a short distance
  double fullStrokeSeekMs = 0;    // seek from the first to the last block; grows with sqrt(distance)
  double rotationsPerMinute = 0;  // average latency is half a turn after a seek
  double transferMBps = 0;        // media transfer rate, 10^6 bytes per second (see `spin`)
};

struct DrivePreset {
  const char* name = "";
  // Standard INQUIRY data.
  uint8_t peripheralType = 0;   // 0 direct access, 5 CD/DVD
  bool removable = false;       // RMB bit
  uint8_t version = 0;          // byte 2
  uint8_t responseFormat = 2;   // byte 3
  const char* vendor = "";      // 8 characters, space padded
  const char* product = "";     // 16 characters
  const char* revision = "";    // 4 characters
  const char* serial = "";      // unit serial number page (80h)
  // The medium the drive holds when configured.
  bool hasMedium = true;
  uint32_t blockLength = 2048;
  uint64_t blockCount = 0;
  bool readOnly = false;
  // What the operating system says about the drive.
  uint32_t driveType = 5;       // GetDriveTypeA: 2 removable, 3 fixed, 5 CD-ROM
  uint32_t geometryMediaType = 11;  // DISK_GEOMETRY: 11 removable media, 12 fixed
  TimingModel timing;
};

// dvdram, dvdrom, hdd, nodisc.
std::span<const DrivePreset> DrivePresets();
// Null when no preset has that name (case-sensitive).
const DrivePreset* FindDrivePreset(std::string_view name);

}  // namespace orv

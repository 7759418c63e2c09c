#include "vdrive/presets.h"

#include <array>

namespace orv {

namespace {

// An ATAPI DVD-RAM drive: SCSI version 0 (ATAPI), response format 1 with ATAPI version 2.
// The disc is a single-sided 4.7 GB DVD-RAM: 2,295,104 blocks of 2048 bytes.
constexpr DrivePreset kDvdRam{
    .name = "dvdram",
    .peripheralType = 5,
    .removable = true,
    .version = 0,
    .responseFormat = 0x21,
    .vendor = "ORVANE  ",
    .product = "VIRTUAL DVD-RAM ",
    .revision = "1.01",
    .serial = "VDR0000000000001",
    .hasMedium = true,
    .blockLength = 2048,
    .blockCount = 2295104,
    .readOnly = false,
    .driveType = 5,
    .geometryMediaType = 11,
    // 5x DVD-RAM: 6.9 MB/s; 3,000 rpm; 150 ms full-stroke seek. DVD-RAM is written in zones
    // that the drive reads at one linear velocity, so the rate is the same all over the disc.
    .timing = {.spin = TimingModel::Spin::kConstantLinear, .commandOverheadMs = 0.5, .trackToTrackSeekMs = 20, .fullStrokeSeekMs = 150,
               .rotationsPerMinute = 3000, .transferMBps = 6.9},
};

// A DVD-ROM drive with a read-only dual-layer disc (DVD-9, 8.5 GB: 4,171,712 blocks).
constexpr DrivePreset kDvdRom{
    .name = "dvdrom",
    .peripheralType = 5,
    .removable = true,
    .version = 0,
    .responseFormat = 0x21,
    .vendor = "ORVANE  ",
    .product = "VIRTUAL DVD-ROM ",
    .revision = "1.01",
    .serial = "VDO0000000000001",
    .hasMedium = true,
    .blockLength = 2048,
    .blockCount = 4171712,
    .readOnly = true,
    .driveType = 5,
    .geometryMediaType = 11,
    // 16x DVD-ROM at constant angular velocity: 22 MB/s at the outer edge, 2.4 times less at
    // the inner one (data from 24 mm to 58 mm radius on a 120 mm disc).
    .timing = {.spin = TimingModel::Spin::kConstantAngular, .radiusRatio = 2.4, .commandOverheadMs = 0.5,
               .trackToTrackSeekMs = 15, .fullStrokeSeekMs = 110,
               .rotationsPerMinute = 9000, .transferMBps = 22.0},
};

// A fixed SCSI-2 hard disk, 512-byte blocks, 8 GiB.
constexpr DrivePreset kHdd{
    .name = "hdd",
    .peripheralType = 0,
    .removable = false,
    .version = 2,
    .responseFormat = 2,
    .vendor = "ORVANE  ",
    .product = "VIRTUAL DISK    ",
    .revision = "1.01",
    .serial = "VHD0000000000001",
    .hasMedium = true,
    .blockLength = 512,
    .blockCount = 16777216,
    .readOnly = false,
    .driveType = 3,
    .geometryMediaType = 12,
    .timing = {.commandOverheadMs = 0.1, .trackToTrackSeekMs = 0.8, .fullStrokeSeekMs = 18,
               .rotationsPerMinute = 7200, .transferMBps = 60.0},
};

// The DVD-RAM drive with its tray empty.
constexpr DrivePreset kNoDisc = [] {
  DrivePreset p = kDvdRam;
  p.name = "nodisc";
  p.hasMedium = false;
  return p;
}();

constexpr std::array kPresets{kDvdRam, kDvdRom, kHdd, kNoDisc};

}  // namespace

std::span<const DrivePreset> DrivePresets() { return kPresets; }

const DrivePreset* FindDrivePreset(std::string_view name) {
  for (const DrivePreset& p : kPresets)
    if (name == p.name) return &p;
  return nullptr;
}

}  // namespace orv

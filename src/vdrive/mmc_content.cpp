// What each preset drive says about itself and its disc: the mode pages, the feature list and
// the DVD structures of real drives of its kind.
#include <string_view>

#include "toolkit/endian.h"
#include "vdrive/mmc_answers.h"

namespace orv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Be16(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
Bytes Be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}
Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
// A page from its code byte and parameters; the page length is the parameters' count.
Bytes Page(uint8_t codeByte, const Bytes& parameters) {
  return Join({{codeByte, static_cast<uint8_t>(parameters.size())}, parameters});
}
// `size` zero bytes with `head` at the start.
Bytes Padded(size_t size, const Bytes& head) {
  Bytes b(size, 0);
  for (size_t i = 0; i < head.size() && i < size; ++i) b[i] = head[i];
  return b;
}
Bytes Ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }

// ---- mode pages of the MMC drives ----

// Read/write error recovery: automatic write reallocation, 16 retries, a 3-second limit.
Bytes MmcErrorRecovery() { return Page(0x01, {0x80, 0x10, 0, 0, 0, 0, 0x10, 0, 0x0B, 0xB8}); }
// Caching: write cache on.
Bytes MmcCaching() { return Page(0x08, {0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }
// CD device parameters: 2-minute inactivity timer, 60 seconds per minute, 75 frames per second.
Bytes MmcCdParameters() { return Page(0x0D, {0, 0x0B, 0, 60, 0, 75}); }
// CD audio control (no decoder in the report): immediate, both channels at full volume.
Bytes MmcCdAudioControl() { return Page(0x0E, {0x04, 0, 0, 0, 0, 0, 0x01, 0xFF, 0x02, 0xFF, 0, 0, 0, 0}); }
// Power condition: idle after 5 minutes, standby after 15 (timers in 100 ms).
Bytes MmcPowerCondition() { return Page(0x1A, Join({{0x03, 0}, Be32(3000), Be32(9000)})); }
// Timeout and protect (no decoder in the report): group 1 and 2 minimum timeouts in seconds.
Bytes MmcTimeoutProtect() { return Page(0x1D, Join({{0, 0, 0, 0}, Be16(30), Be16(60), {0, 0}})); }

// The capabilities page of a 5x DVD-RAM writer that also reads CD and DVD-R, with three write
// speed descriptors (3x, 2x, 1x DVD-RAM, CLV).
Bytes DvdRamCapabilities() {
  return Page(0x2A, Join({{0x3B, 0x20, 0x71, 0x03, 0x29, 0x03},
                          Be16(6925), Be16(256), Be16(2048), Be16(6925),
                          {0x00, 0x00},
                          Be16(4155), Be16(4155), Be16(0x0001),
                          {0, 0, 0, 0x00},
                          Be16(4155), Be16(3),
                          {0, 0}, Be16(4155), {0, 0}, Be16(2770), {0, 0}, Be16(1385)}));
}

// The shorter capabilities page of an older DVD-ROM drive: no write speed fields.
Bytes DvdRomCapabilities() {
  return Page(0x2A, Join({{0x1B, 0x00, 0x71, 0x73, 0x29, 0x03},
                          Be16(22160), Be16(256), Be16(512), Be16(22160),
                          {0x00, 0x10},
                          Be16(0), Be16(0), Be16(0)}));
}

// ---- mode pages of the SCSI-2 disk (PS set: the pages can be saved) ----

Bytes DiskErrorRecovery() { return Page(0x81, {0xC0, 0x0B, 0x0B, 0, 0, 0, 0x05, 0, 0x00, 0x64}); }
Bytes DiskDisconnect() { return Page(0x82, Join({{0x80, 0x80}, Be16(0), Be16(0), Be16(0), Be16(128), {0, 0}, Be16(0)})); }
// 16,384 cylinders of 16 heads, 7,200 rpm.
Bytes DiskGeometry() {
  return Page(0x84, Join({{0x00, 0x40, 0x00, 16}, {0, 0, 0}, {0, 0, 0}, Be16(1), {0x00, 0x40, 0x00},
                          {0x00, 0x00, 0x00}, Be16(7200), {0, 0}}));
}
Bytes DiskCaching() {
  return Page(0x88, Join({{0x04, 0x00}, Be16(0xFFFF), Be16(0), Be16(0x0080), Be16(0x0080),
                          {0x00, 0x10, 0, 0, 0, 0, 0, 0}}));
}
Bytes DiskControl() { return Page(0x8A, Join({{0x02, 0x10, 0x00, 0x00}, Be16(0), Be16(0xFFFF), Be16(600)})); }
Bytes DiskNotch() { return Page(0x8C, Bytes(22, 0)); }

// ---- features ----

VirtualFeature Feature(uint16_t code, uint8_t version, bool persistent, bool current, Bytes data = {}) {
  return {code, version, persistent, current, std::move(data)};
}

// Core: ATAPI; morphing; removable medium in a tray with eject and lock.
std::vector<VirtualFeature> DriveFeatures() {
  return {Feature(0x0001, 1, true, true, Join({Be32(2), {0x01, 0, 0, 0}})),
          Feature(0x0002, 1, true, true, {0x02, 0, 0, 0}),
          Feature(0x0003, 0, true, true, {0x29, 0, 0, 0})};
}

MmcContent DvdRamContent(const DrivePreset& preset) {
  MmcContent c;
  c.modePages = {MmcErrorRecovery(), MmcCaching(), MmcCdParameters(), MmcCdAudioControl(), MmcPowerCondition(),
                 MmcTimeoutProtect(), DvdRamCapabilities()};
  c.currentProfile = 0x0012;
  c.profiles = {0x0012, 0x0010, 0x0011, 0x0008, 0x0009, 0x000A};
  const uint32_t lastLba = static_cast<uint32_t>(preset.blockCount - 1);
  c.features = DriveFeatures();
  c.features.insert(c.features.end(), {
      Feature(0x0010, 0, false, true, Join({Be32(preset.blockLength), Be16(16), {0x01, 0}})),
      Feature(0x001D, 0, false, false),
      Feature(0x001E, 1, false, false, {0, 0, 0, 0}),
      Feature(0x001F, 0, false, true),
      Feature(0x0020, 0, false, true, Join({Be32(lastLba), Be32(preset.blockLength), Be16(16), {0x01, 0}})),
      Feature(0x0023, 0, false, true),
      Feature(0x0024, 1, false, true, {0x80, 0, 0, 0}),
      Feature(0x0100, 0, true, true),
      Feature(0x0104, 0, true, true),
      Feature(0x0105, 0, true, true),
      Feature(0x0106, 0, false, true, {0, 0, 0, 0x01}),
      Feature(0x0107, 0, false, true, {0x03, 0, 0, 0}),
      Feature(0x0108, 0, true, true, Ascii(preset.serial)),
  });

  // A single-sided 4.7 GB DVD-RAM (version 2.1): rewritable layer, 0.280-0.291 um/bit,
  // 0.615 um/track, data area from 031000h, with a burst cutting area.
  const Bytes physical = Padded(2048, Join({{0x16, 0x0F, 0x04, 0x42, 0x00}, {0x03, 0x10, 0x00}, {0x00},
                                             {0x26, 0xD8, 0xBF}, {0x00}, {0x00, 0x00, 0x00}, {0x80}}));
  const Bytes manufacturing = Padded(2048, Ascii("ORVANE VIRTUAL MEDIA DVD-RAM 4.7GB VER 2.1"));
  // Disc definition structure: DDS identifier 0A0Ah, disc certified, 35 zones.
  const Bytes dds = Padded(2048, Join({Be16(0x0A0A), {0x00, 0x80}, Be32(1), Be16(35)}));
  c.structures = {
      {0, 0x00, physical, false},
      {0, 0x01, {0x00, 0x00, 0x00, 0x00}, false},
      {0, 0x04, manufacturing, false},
      {0, 0x08, dds, false},
      // A bare disc that may be written without a cartridge.
      {0, 0x09, {0x00, 0x10, 0x00, 0x00}, false},
      // 12,032 primary spare blocks unused; no supplementary spare allocated.
      {0, 0x0A, Join({Be32(12032), Be32(0), Be32(0)}), false},
      {0, 0x0B, {0x00, 0x00, 0x00, 0x00}, false},
  };
  return c;
}

MmcContent DvdRomContent(const DrivePreset& preset) {
  MmcContent c;
  c.modePages = {MmcErrorRecovery(), MmcCdParameters(), MmcCdAudioControl(), MmcPowerCondition(),
                 DvdRomCapabilities()};
  c.currentProfile = 0x0010;
  c.profiles = {0x0010, 0x0008};
  c.features = DriveFeatures();
  c.features.insert(c.features.end(), {
      Feature(0x0010, 0, false, true, Join({Be32(preset.blockLength), Be16(16), {0x00, 0}})),
      Feature(0x001D, 0, false, false),
      Feature(0x001E, 1, false, false, {0, 0, 0, 0}),
      Feature(0x001F, 0, false, true),
      Feature(0x0100, 0, true, true),
      Feature(0x0105, 0, true, true),
      Feature(0x0106, 0, false, true, {0, 0, 0, 0x01}),
      Feature(0x0107, 0, false, true, {0x00, 0, 0, 0}),
  });

  // A pressed two-layer DVD-9 in opposite track path: each layer holds half of the blocks;
  // layer 0 ends at 22D3DFh, layer 1 runs from its complement up to FCFFFFh.
  const Bytes physical = Padded(2048, Join({{0x01, 0x02, 0x31, 0x10, 0x00}, {0x03, 0x00, 0x00}, {0x00},
                                             {0xFC, 0xFF, 0xFF}, {0x00}, {0x22, 0xD3, 0xDF}, {0x00}}));
  const Bytes copyright = {0x01, 0x00, 0x00, 0x00};  // CSS-protected, every region
  const Bytes manufacturing(2048, 0);
  c.structures = {
      {0, 0x00, physical, false},        {0, 0x01, copyright, false},
      // The disc key is given only to a host that has authenticated.
      {0, 0x02, Bytes(2048, 0), true},   {0, 0x04, manufacturing, false},
      {1, 0x00, physical, false},        {1, 0x01, copyright, false},
      {1, 0x04, manufacturing, false},
  };
  return c;
}

MmcContent DiskContent() {
  MmcContent c;
  c.modePages = {DiskErrorRecovery(), DiskDisconnect(), DiskGeometry(), DiskCaching(), DiskControl(), DiskNotch()};
  c.savedPages = true;
  c.blockDescriptorDespiteDbd = true;
  c.deviceSpecific = 0x10;  // DPO and FUA supported
  c.configuration = false;
  c.dvdStructures = false;
  return c;
}

}  // namespace

MmcContent MmcContentFor(const DrivePreset& preset) {
  const std::string_view name = preset.name;
  if (name == "dvdrom") return DvdRomContent(preset);
  if (name == "hdd") return DiskContent();
  // The DVD-RAM drive, with or without its disc.
  return DvdRamContent(preset);
}

}  // namespace orv

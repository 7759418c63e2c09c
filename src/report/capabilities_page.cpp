// Mode page 2Ah of MMC drives: what a CD/DVD drive reads and writes, its mechanism and speeds.
#include <algorithm>
#include <array>

#include "report/mode_pages.h"
#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

constexpr size_t kMinimumLength = 22;      // through the current write speed (bytes 20-21)
constexpr size_t kDescriptorsOffset = 32;  // the later fields and the first speed descriptor
constexpr size_t kDescriptorLength = 4;

// The flag and number columns of this page: each value ends at column 56.
std::string FlagText(bool on) { return Format("%3s", on ? "ON" : "OFF"); }
constexpr int kFlagColumn = 53;
constexpr int kNumberColumn = 40;

// Read and write support per media family: byte, bit, group word (first line of a group only),
// media name.
struct MediaLine {
  uint8_t byte;
  uint8_t bit;
  const char* group;
  const char* media;
};
constexpr MediaLine kMediaLines[] = {
    {2, 0, "Read", "CD-R"}, {2, 1, "", "CD-RW"},   {2, 3, "", "DVD-ROM"}, {2, 4, "", "DVD-R"}, {2, 5, "", "DVD-RAM"},
    {3, 0, "Write", "CD-R"}, {3, 1, "", "CD-R/RW"}, {3, 2, "", "Test"},    {3, 4, "", "DVD-R"}, {3, 5, "", "DVD-RAM"},
};

struct FlagLine {
  uint8_t byte;
  uint8_t bit;
  const char* label;
};
constexpr FlagLine kAudioFlags[] = {
    {4, 0, "Audio Play"},
    {4, 1, "Composite Audio/Video Data Stream"},
    {4, 2, "Digital Port (1)"},
    {4, 3, "Digital Port (2)"},
    {4, 4, "Mode 2 From 1"},
    {4, 5, "Mode 2 From 2"},
    {4, 6, "Multi Session"},
    {4, 7, "Buffer Under-run Free Recording"},
    {5, 0, "CD-DA Command supported"},
    {5, 1, "CD-DA Stream is Accurate"},
    {5, 2, "Sub-channels R-W Reading Supported"},
    {5, 3, "R-W Sub-ch De-interleaved & Corrected"},
    {5, 4, "C2 Error Pointers and C2 Block Error"},
    {5, 5, "International Standard Recording Code"},
    {5, 6, "Media Catalog #(Uniform Product Code)"},
    {5, 7, "Disc Bar Code"},
    {6, 0, "Lock"},
};
constexpr FlagLine kMechanismFlags[] = {
    {6, 2, "Prevent/Allow Jumper"},
    {6, 3, "Eject"},
};
constexpr FlagLine kChangerFlags[] = {
    {7, 0, "Separate Audio Volume Levels"},
    {7, 1, "Separate Audio Channel Mute"},
    {7, 2, "Changer Supports Disc Present"},
    {7, 3, "Software Slot Selection"},
    {7, 4, "Side Change Capable"},
    {7, 5, "R through W in Lead-in"},
};
constexpr FlagLine kClockFlags[] = {
    {17, 1, "BCKF"},
    {17, 2, "RCK"},
    {17, 3, "LSBF"},
};

struct NumberLine {
  uint8_t byte;  // two bytes, big-endian
  const char* label;
  const char* unit;
};
constexpr NumberLine kSpeedNumbers[] = {
    {8, "Maximum Read Speed", "kBps"},
    {10, "Number of Volume Levels Supportted", nullptr},
    {12, "Buffer size Supported", "KB"},
    {14, "Current Read Speed", "kBps"},
};
constexpr NumberLine kWriteSpeeds[] = {
    {18, "Maximum Write Speed", "kBps"},
    {20, "Current Write Speed", "kBps"},
};

constexpr std::array<const char*, 8> kLoadingNames = {
    "Caddy type loading mechanism", "Tray type loading mechanism", "Popup type loading mechanism",
    "Loading Mechanism Type 3",     "Changer with individually changeable discs",
    "Changer using a Magazine mechanism", "Type 6", "Type 7"};
constexpr std::array<const char*, 4> kWordLengthNames = {"32", "16", "24", "24(I2c)"};
constexpr std::array<const char*, 4> kRotationNames = {"CLV & Non-pure CAV", "Pure CAV", "", ""};

void AppendFlags(std::string& text, std::span<const uint8_t> page, std::span<const FlagLine> lines) {
  for (const FlagLine& f : lines) {
    AppendColumns(text, {{0, f.label}, {kFlagColumn, FlagText((page[f.byte] >> f.bit) & 1)}});
  }
}

void AppendNumber(std::string& text, const char* label, unsigned value, const char* unit) {
  const std::string shown = Format("%*,u", 16, value);
  if (unit != nullptr) {
    AppendColumns(text, {{0, label}, {kNumberColumn, shown}, {56, unit}});
  } else {
    AppendColumns(text, {{0, label}, {kNumberColumn, shown}});
  }
}

void AppendNumbers(std::string& text, std::span<const uint8_t> page, std::span<const NumberLine> lines) {
  for (const NumberLine& n : lines) AppendNumber(text, n.label, GetBe16(&page[n.byte]), n.unit);
}

void AppendLoadingMechanism(std::string& text, uint8_t type) {
  const std::string label = "Loading Mechanism Type: ";
  const std::string name = kLoadingNames[type & 7];
  if (label.size() + name.size() < 56) {
    AppendColumns(text, {{0, label}, {56 - static_cast<int>(name.size()), name}});
  } else {
    AppendColumns(text, {{0, label + name}});
  }
}

void AppendWriteSpeedDescriptors(std::string& text, std::span<const uint8_t> page) {
  AppendColumns(text, {{0, "Copy Management Revision Supported"}, {52, Format("%04XH", GetBe16(&page[22]))}});
  AppendColumns(text, {{0, "Rotation Control Selected"}, {38, Format("%18s", kRotationNames[page[27] & 3])}});
  AppendNumber(text, "Current Write Speed Selected", GetBe16(&page[28]), nullptr);
  const unsigned count = GetBe16(&page[30]);
  AppendNumber(text, "Write Speed Performance Desciptor #", count, nullptr);

  // The count is the drive's claim; only descriptors that lie wholly inside the page are shown.
  const size_t inside = (page.size() - kDescriptorsOffset) / kDescriptorLength;
  const size_t shown = std::min<size_t>(count, inside);
  for (size_t i = 0; i < shown; ++i) {
    const uint8_t* d = &page[kDescriptorsOffset + i * kDescriptorLength];
    AppendColumns(text, {{4, Format("Block #%3u %18s", static_cast<unsigned>(i + 1), kRotationNames[d[1] & 3])},
                         {48, Format("%8,u", GetBe16(d + 2))}});
  }
}

}  // namespace

int DecodeCapabilitiesPage(std::string& text, std::span<const uint8_t> page) {
  if (page.size() < kMinimumLength) return -1;

  for (const MediaLine& m : kMediaLines) {
    AppendColumns(text, {{0, m.group}, {8, m.media}, {kFlagColumn, FlagText((page[m.byte] >> m.bit) & 1)}});
  }
  AppendFlags(text, page, kAudioFlags);
  AppendColumns(text, {{0, "Lock Status"}, {48, Format("%8s", (page[6] & 0x02) ? "LOCKED" : "UNLOCKED")}});
  AppendFlags(text, page, kMechanismFlags);
  AppendLoadingMechanism(text, page[6] >> 5);
  AppendFlags(text, page, kChangerFlags);
  AppendNumbers(text, page, kSpeedNumbers);
  AppendFlags(text, page, kClockFlags);
  AppendColumns(text, {{0, "Word Length"}, {kNumberColumn, Format("%*s", 16, kWordLengthNames[(page[17] >> 4) & 3])}});
  AppendNumbers(text, page, kWriteSpeeds);

  if (page.size() >= kDescriptorsOffset) AppendWriteSpeedDescriptors(text, page);
  return 0;
}

}  // namespace orv

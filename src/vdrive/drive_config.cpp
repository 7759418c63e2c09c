#include "vdrive/drive_config.h"

#include <filesystem>
#include <string>

#include "vdrive/preset_partitions.h"
#include "vdrive/replay_drive.h"

namespace orv {

namespace {

std::string EntryError(size_t index, std::string_view entry, const std::string& why) {
  return std::string(kVirtualDrivesVariable) + ": entry " + std::to_string(index + 1) + " \"" +
         std::string(entry) + "\": " + why;
}

std::string PresetNames() {
  std::string names;
  for (const DrivePreset& p : DrivePresets()) {
    if (!names.empty()) names += ", ";
    names += p.name;
  }
  return names + ", " + kReplayPreset + ":TRACE";
}

}  // namespace

int ParseVirtualDriveSpecs(std::string_view text, std::vector<VirtualDriveSpec>& driveSpecs, std::string& error) {
  std::vector<VirtualDriveSpec> parsed;
  if (text.empty()) {
    driveSpecs.clear();
    return 0;
  }
  size_t index = 0;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string_view entry = text.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                                      : comma - start);
    if (entry.empty()) {
      error = EntryError(index, entry, "empty entry (expected LETTER=PRESET[:IMAGE])");
      return -1;
    }
    const size_t eq = entry.find('=');
    if (eq != 1) {
      error = EntryError(index, entry, "expected a drive letter and '=' (LETTER=PRESET[:IMAGE])");
      return -1;
    }
    char letter = entry[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') {
      error = EntryError(index, entry, "the drive letter must be A to Z");
      return -1;
    }
    for (const VirtualDriveSpec& s : parsed) {
      if (s.letter == letter) {
        error = EntryError(index, entry, std::string("drive ") + letter + ": is configured twice");
        return -1;
      }
    }
    const std::string_view rest = entry.substr(eq + 1);
    // The image path follows the first ':' and may itself hold colons (C:\disc.img).
    const size_t colon = rest.find(':');
    VirtualDriveSpec driveSpec;
    driveSpec.letter = letter;
    driveSpec.preset = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos) {
      driveSpec.image = std::string(rest.substr(colon + 1));
      // Faults are peeled off the end, so that an image path may still hold colons.
      while (!driveSpec.image.empty()) {
        const size_t last = driveSpec.image.rfind(':');
        const size_t from = last == std::string::npos ? 0 : last + 1;
        MediumFault fault;
        std::string why;
        const int parsed = ParseMediumFault(std::string_view(driveSpec.image).substr(from), fault, why);
        if (parsed < 0) {
          error = EntryError(index, entry, why);
          return -1;
        }
        if (parsed == 0) break;
        driveSpec.faults.insert(driveSpec.faults.begin(), fault);
        driveSpec.image.resize(last == std::string::npos ? 0 : last);
      }
      if (driveSpec.image.empty() && driveSpec.faults.empty()) {
        error = EntryError(index, entry, "empty image path after ':'");
        return -1;
      }
    }
    if (driveSpec.preset == kReplayPreset) {
      if (driveSpec.image.empty() || !driveSpec.faults.empty()) {
        error = EntryError(index, entry, std::string("preset \"") + kReplayPreset + "\" answers from a trace: " +
                                             kReplayPreset + ":TRACE");
        return -1;
      }
    } else if (const DrivePreset* preset = FindDrivePreset(driveSpec.preset); preset == nullptr) {
      error = EntryError(index, entry, "unknown preset \"" + driveSpec.preset + "\" (known: " + PresetNames() + ")");
      return -1;
    } else if (!preset->hasMedium && !driveSpec.faults.empty()) {
      error = EntryError(index, entry, "preset \"" + driveSpec.preset + "\" has no disc, so it takes no media faults");
      return -1;
    } else if (!preset->hasMedium && !driveSpec.image.empty()) {
      error = EntryError(index, entry, "preset \"" + driveSpec.preset + "\" has no disc, so it takes no image file");
      return -1;
    }
    parsed.push_back(std::move(driveSpec));
    ++index;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  driveSpecs = std::move(parsed);
  return 0;
}

int ParseVirtualTiming(std::string_view text, bool& enabled, std::string& error) {
  if (text.empty() || text == "0") {
    enabled = false;
    return 0;
  }
  if (text == "1") {
    enabled = true;
    return 0;
  }
  error = std::string(kVirtualTimingVariable) + ": \"" + std::string(text) + "\" is neither 0 nor 1";
  return -1;
}

std::unique_ptr<VirtualDrive> MakeVirtualDrive(const VirtualDriveSpec& driveSpec, std::string& error,
                                               std::shared_ptr<const ReplayGaps>* gaps) {
  if (driveSpec.preset == kReplayPreset) {
    ReplayDrive replay;
    if (MakeReplayDrive(driveSpec.image, driveSpec.letter, replay, error) != 0) {
      error = std::string(kVirtualDrivesVariable) + ": drive " + driveSpec.letter + ": " + error;
      return nullptr;
    }
    if (gaps != nullptr) *gaps = replay.gaps;
    return std::move(replay.drive);
  }
  const DrivePreset* preset = FindDrivePreset(driveSpec.preset);
  if (preset == nullptr) {
    error = "unknown virtual drive preset \"" + driveSpec.preset + "\"";
    return nullptr;
  }
  if (driveSpec.image.empty() || !preset->hasMedium) {
    std::unique_ptr<Medium> medium;
    if (preset->hasMedium) {
      medium = MakeMemoryMedium(preset->blockLength, preset->blockCount, preset->readOnly);
      // A medium made now is a new one: it gets the preset's partition tables.
      WritePresetPartitions(*preset, *medium);
    }
    return std::make_unique<VirtualDrive>(*preset, WithMediumFaults(std::move(medium), driveSpec.faults));
  }
  std::error_code ec;
  const bool created = !std::filesystem::exists(driveSpec.image, ec);
  std::string why;
  auto medium = OpenImageMedium(driveSpec.image, preset->blockLength, preset->blockCount, preset->readOnly, why);
  if (medium == nullptr) {
    error = std::string(kVirtualDrivesVariable) + ": drive " + driveSpec.letter + ": " + why;
    return nullptr;
  }
  // An image file created now gets the preset's partition tables; an existing one is the
  // user's disc and is never written here.
  if (created) WritePresetPartitions(*preset, *medium);
  return std::make_unique<VirtualDrive>(*preset, WithMediumFaults(std::move(medium), driveSpec.faults));
}

std::unique_ptr<VirtualDrive> MakeVirtualDrive(const DrivePreset& preset) {
  std::unique_ptr<Medium> medium;
  if (preset.hasMedium) medium = MakeMemoryMedium(preset.blockLength, preset.blockCount, preset.readOnly);
  return std::make_unique<VirtualDrive>(preset, std::move(medium));
}

}  // namespace orv

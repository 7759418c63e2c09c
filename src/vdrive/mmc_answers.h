// The virtual drive's answers to MODE SENSE(6)/(10) (SPC), GET CONFIGURATION and READ DVD
// STRUCTURE (MMC): what the drive reports about itself and its disc. Each preset has its own
// content (mmc_content.cpp); tests change a copy of it and install that, to make a drive with
// any page, feature or structure, or one of the known drive quirks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "vdrive/presets.h"

namespace orv {

class VirtualDrive;

// One feature descriptor of GET CONFIGURATION. The profile list (0000h) is built from
// MmcContent::profiles and is not listed here.
struct VirtualFeature {
  uint16_t code = 0;
  uint8_t version = 0;
  bool persistent = false;  // current whether or not a disc is loaded
  bool current = false;     // current while a disc is loaded
  std::vector<uint8_t> data;
};

// One READ DVD STRUCTURE answer's data (without its 4-byte header).
struct VirtualDvdStructure {
  uint8_t layer = 0;
  uint8_t format = 0;
  std::vector<uint8_t> data;
  // Key formats are refused until the host has authenticated (ILLEGAL REQUEST, COPY
  // PROTECTION KEY EXCHANGE FAILURE - KEY NOT ESTABLISHED).
  bool needsAuthentication = false;
};

struct MmcContent {
  // --- MODE SENSE
  // Whole pages (page code byte with its PS bit, page length, parameters), in the order the
  // drive returns them for page 3Fh. Changeable values are answered as all zero (nothing can
  // be changed); default values are the current ones.
  std::vector<std::vector<uint8_t>> modePages;
  bool modeSense6 = true;                  // false: MODE SENSE(6) is an invalid command
  bool modeSense6EmptyFirstPage = false;   // MODE SENSE(6) answers a long header and no page
  bool savedPages = false;                 // page control 3 (saved values) is supported
  bool blockDescriptorDespiteDbd = false;  // as many SCSI-2 disks, ignores DBD
  uint8_t deviceSpecific = 0;              // header byte: bit 4 DPO/FUA; bit 7 is the medium's write protect

  // --- GET CONFIGURATION (absent: the command is invalid)
  bool configuration = true;
  uint16_t currentProfile = 0;  // while a disc is loaded; 0 without one
  std::vector<uint16_t> profiles;
  std::vector<VirtualFeature> features;

  // --- READ DVD STRUCTURE (absent: the command is invalid)
  bool dvdStructures = true;
  std::vector<VirtualDvdStructure> structures;  // the list (FFh) names those of layer 0
};

// The content a preset's drive answers with (its disc included).
MmcContent MmcContentFor(const DrivePreset& preset);

// Installs the MODE SENSE, GET CONFIGURATION and READ DVD STRUCTURE handlers answering from
// `content`, replacing earlier ones.
void InstallMmcAnswers(VirtualDrive& drive, std::shared_ptr<const MmcContent> content);
// The same with the content of the drive's own preset.
void InstallMmcAnswers(VirtualDrive& drive);

}  // namespace orv

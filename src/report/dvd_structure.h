// The DVD structure sections (READ DVD STRUCTURE, MMC): per layer a head section with the list
// of formats the drive can return, then one section per listed format with its first line, the
// decoded fields of formats 00h, 09h, 0Ah, 0Eh and 0Fh, and a hex dump of the others.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "report/report.h"

namespace orv {

// Name of a structure format (empty for formats without one).
const char* DvdStructureName(uint8_t format);
// Formats that describe one layer and are therefore read on every layer, not only layer 0.
bool DvdStructureIsPerLayer(uint8_t format);

// Adds the head section of `layer` from the structure list answer (format FFh). Returns false,
// adding nothing, when the list's data length is below 2.
bool AddDvdLayerHead(DriveReport& report, uint8_t layer, int32_t subKind, std::span<const uint8_t> answer);

// The formats listed in a structure list answer, in list order, as far as the answer holds them.
struct DvdListedFormat {
  uint8_t format;
  uint16_t length;  // the length of that structure's data
};
std::vector<DvdListedFormat> DvdStructureList(std::span<const uint8_t> answer);

// Adds the section of one structure answer of `format` read on `layer`. `blockLength` sizes the
// spare area counts. Returns the number of layers the medium has when the answer is physical
// format information that says so, else 0.
uint32_t AddDvdStructureSection(DriveReport& report, uint8_t format, uint8_t layer, std::span<const uint8_t> answer,
                                uint32_t blockLength);

}  // namespace orv

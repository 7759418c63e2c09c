// The first section of the report, "Capacity/Geometory", and the identification line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "report/report.h"

namespace orv {

// "%s %s" of the drive's name and "%.8s %.16s %.4s" of the INQUIRY vendor (bytes 8-15), product
// (16-31) and revision (32-35). A field ends early at a NUL byte or at the end of the data.
std::string IdentificationLine(std::string_view driveName, std::span<const uint8_t> inquiry);

// Adds the capacity section from the 8-byte READ CAPACITY field (block count, block length,
// both big-endian) and, when the geometry is known, its media type and geometry lines (and the
// report's Geometry()). No section when the count or the length is 0 (no medium) or the field
// is shorter than 8 bytes.
void AddCapacitySection(DriveReport& report, std::span<const uint8_t> capacity, const ReportGeometry* geometry);

}  // namespace orv

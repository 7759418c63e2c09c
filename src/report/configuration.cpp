#include "report/configuration.h"

#include <algorithm>

#include "report/hex_dump.h"
#include "report/print.h"
#include "toolkit/endian.h"
#include "toolkit/name_table.h"

namespace orv {
namespace {

constexpr CodeName<uint16_t> kFeatureNames[] = {
    {0x0000, "Profile List Feature"},
    {0x0001, "Core Feature"},
    {0x0002, "Morphing Feature"},
    {0x0003, "Removable Medium Feature"},
    {0x0004, "Write Protect Feature"},
    {0x0010, "Random Readable Feature"},
    {0x001D, "Multi-Read Feature"},
    {0x001E, "CD Read Feature"},
    {0x001F, "DVD Read Feature"},
    {0x0020, "Random Writable Feature"},
    {0x0021, "Incremental Streaming Writable"},
    {0x0022, "Sector Erasable Feature"},
    {0x0023, "Formattable Feature"},
    {0x0024, "Hardware Defect Management Feature"},
    {0x0025, "Write Once Feature"},
    {0x0026, "Restricted Overwrite Feature"},
    {0x0027, "CD-RW CAV Write Feature"},
    {0x0028, "The MRW Feature"},
    {0x0029, "Enhanced Defect Reporting Feature"},
    {0x002A, "DVD+RW Feature"},
    {0x002B, "DVD+R Feature"},
    {0x002C, "Rigid Restricted Overwrite Feature"},
    {0x002D, "CD Track at Once Feature"},
    {0x002E, "CD Mastering (Session at Once) Feature"},
    {0x002F, "DVD-R/-RW Write Feature"},
    {0x0030, "Double Density CD Read Feature"},
    {0x0031, "Double Density CD Write Feature"},
    {0x0032, "Double Density CD-RW Write Feature"},
    {0x0037, "CD-RW Media Write Support Feature"},
    {0x0100, "Power Management Feature"},
    {0x0101, "S.M.A.T. Feature"},
    {0x0102, "Embedded Changer Feature"},
    {0x0103, "CD Audio External Play Feature"},
    {0x0104, "Microcode Upgrade Feature"},
    {0x0105, "Timeout Feature"},
    {0x0106, "DVD CSS Feature"},
    {0x0107, "Real Time Steaming Feature"},
    {0x0108, "Logical Unit Serial Number Feature"},
    {0x0109, "Media Serial Number Feature"},
    {0x010A, "Disc Control Blocks"},
    {0x010B, "DVD CPRM"},
    {0x010C, "Firmware Information"},
};

constexpr CodeName<uint16_t> kProfileNames[] = {
    {0x0000, "No Current Profile"},
    {0x0001, "Non-Removable Profile"},
    {0x0002, "Removable Disk"},
    {0x0003, "Magneto-Optical Erasable"},
    {0x0004, "Optical Write Once"},
    {0x0005, "AS-MO"},
    {0x0008, "CD-ROM"},
    {0x0009, "CD-R"},
    {0x000A, "CD-RW"},
    {0x0010, "DVD-ROM"},
    {0x0011, "DVD-R Sequential recording"},
    {0x0012, "DVD-RAM"},
    {0x0013, "DVD-RW Restricted Overwrite"},
    {0x0014, "DVD-RW Sequential recording"},
    {0x001A, "DVD+RW"},
    {0x001B, "DVD+R"},
    {0x0020, "DDCD-ROM"},
    {0x0021, "DDCD-R"},
    {0x0022, "DDCD-RW"},
};

constexpr CodeName<uint32_t> kInterfaceNames[] = {
    {0, "Unspecified"}, {1, "SCSI Family"},   {2, "ATAPI"},      {3, "IEEE 1394-1995"}, {4, "IEEE 1394A"},
    {5, "Fibre Channel"}, {6, "IEEE 1394B"}, {7, "Serial ATA"}, {8, "USB"},
};

constexpr size_t kHeaderLength = 8;      // data length, reserved, current profile
constexpr size_t kDescriptorHeader = 4;  // feature code, version/flags, additional length
constexpr size_t kProfileDescriptor = 4;

// `answer` is cut at the end of the data received; the feature's data starts at `dataStart`
// and claims `additionalLength` bytes.
void AddFeatureSection(DriveReport& report, std::span<const uint8_t> answer, size_t dataStart, uint8_t additionalLength) {
  const uint16_t code = GetBe16(&answer[dataStart - kDescriptorHeader]);
  const char* name = FeatureName(code);
  const std::string title = *name != '\0' ? Format("%04XH %s", code, name) : Format("FeatureCode %04XH", code);
  ReportSection& section = report.AddSection(kSectionConfiguration, kSectionChild, ChildTitle(title));
  std::string& text = section.text;
  AppendFormat(text, "%s\r\n", Format("FeatureCode %04XH (length %3u) : %s", code, additionalLength, name));

  const size_t dataEnd = std::min(dataStart + additionalLength, answer.size());
  const std::span<const uint8_t> data = answer.subspan(dataStart, dataEnd - dataStart);
  if (code == 0x0000) {
    // A profile descriptor that starts inside the list is read whole (a list length that is not
    // a multiple of 4 cuts the last one short), as long as its bytes were received.
    for (size_t p = dataStart; p < dataStart + additionalLength && p + kProfileDescriptor <= answer.size();
         p += kProfileDescriptor) {
      const uint16_t profile = GetBe16(&answer[p]);
      AppendColumns(text, {{0, Format("Profile Number %04XH %s", profile, ProfileName(profile))}});
    }
  } else if (code == 0x0001 && data.size() >= 4) {
    const uint32_t standard = GetBe32(data.data());
    AppendColumns(text, {{0, "Physical Interface Standard"},
                         {48, Format("%08XH %s", standard, PhysicalInterfaceName(standard))}});
  } else {
    HexDumpAddressed(text, 0, data);
  }
}

}  // namespace

const char* FeatureName(uint16_t code) { return LookUpName(kFeatureNames, code); }
const char* ProfileName(uint16_t profile) { return LookUpName(kProfileNames, profile); }
const char* PhysicalInterfaceName(uint32_t standard) { return LookUpName(kInterfaceNames, standard); }

void AddConfigurationAnswer(DriveReport& report, std::span<const uint8_t> answer) {
  if (answer.size() < kHeaderLength) return;
  const uint32_t dataLength = GetBe32(answer.data());
  if (dataLength == 0) return;
  const uint16_t currentProfile = GetBe16(&answer[6]);
  // The end the drive claims, cut at the end of what was received.
  const size_t end = static_cast<size_t>(std::min<uint64_t>(uint64_t{dataLength} + 4, answer.size()));

  ReportSection& head = report.AddSection(kSectionConfiguration, kSectionHead, "Configuration");
  std::string heading;
  AppendColumns(head.text, {{0, FormatText(heading, "Configuration (length:%u) : Profile %04XH %s\r\n", dataLength,
                                           currentProfile, ProfileName(currentProfile))}});
  HexDumpAddressed(head.text, 0, answer.first(end));

  for (size_t offset = kHeaderLength; offset + kDescriptorHeader <= end;) {
    const uint8_t additionalLength = answer[offset + 3];
    const size_t dataStart = offset + kDescriptorHeader;
    AddFeatureSection(report, answer.first(end), dataStart, additionalLength);
    offset = dataStart + additionalLength;
  }
}

}  // namespace orv

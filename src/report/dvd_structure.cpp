#include "report/dvd_structure.h"

#include <algorithm>
#include <array>
#include <string>

#include "report/hex_dump.h"
#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

struct FormatInfo {
  uint8_t format;
  const char* name;
  bool perLayer;
  bool addressed;  // the request carries an address (always 0), shown as "0000"
};

constexpr FormatInfo kFormats[] = {
    {0x00, "Physical Format Information", true, false},
    {0x01, "DVD Copyright Information", true, false},
    {0x02, "DISC Key", false, false},
    {0x03, "BCA Information", false, false},
    {0x04, "DVD Disc Manufacturing Information", true, false},
    {0x05, "Copyright Management Information", false, true},
    {0x06, "Media Identifier", false, false},
    {0x07, "Media Key Block", false, false},
    {0x08, "DVD-RAM Disc Definition Structure", false, true},
    {0x09, "DVD-RAM Medium Status", false, false},
    {0x0A, "DVD-RAM Spare Area Information", false, false},
    {0x0B, "DVD-RAM Recording Type Information", false, false},
    {0x0C, "RMD in the last Border-out", false, false},
    {0x0D, "Recording Management Area Data", false, true},
    {0x0E, "Pre-recording Information in Lead-in", false, false},
    {0x0F, "Unique Disc Indentifier", false, false},
    {0x10, "Format Information of Control Data Zone in the Lead-in", true, false},
    {0x11, "ADIP Information", false, false},
    {0x30, "Disc Control Blocks", false, true},
    {0xC0, "Write Protection Status", false, false},
};

const FormatInfo* FindFormat(uint8_t format) {
  for (const FormatInfo& f : kFormats) {
    if (f.format == format) return &f;
  }
  return nullptr;
}

constexpr size_t kAnswerHeader = 4;  // data length, reserved

// Column conventions: decimal "%10u" at 46; hexadecimal so that the last digit stands in
// column 55 with its "H" after it; grouped counts at 40; free text ends at column 56.
void Decimal(std::string& text, const char* label, unsigned value) {
  AppendColumns(text, {{0, label}, {46, Format("%10u", value)}});
}
void Hex1(std::string& text, const char* label, unsigned value, const char* name = nullptr) {
  AppendColumns(text, {{0, label}, {55, name != nullptr ? Format("%1XH %s", value, name) : Format("%1XH", value)}});
}
void Hex2(std::string& text, const char* label, unsigned value) {
  AppendColumns(text, {{0, label}, {54, Format("%02XH", value)}});
}
void Hex6(std::string& text, const char* label, unsigned value) {
  AppendColumns(text, {{0, label}, {50, Format("%06XH", value)}});
}
void FreeText(std::string& text, std::string_view line) {
  AppendColumns(text, {{56 - static_cast<int>(line.size()), line}});
}

template <size_t N>
const char* NameOf(const std::array<const char*, N>& names, unsigned value) {
  return value < N ? names[value] : "";
}

// An ASCII field of the structure data, ending early at a NUL byte.
std::string TextField(std::span<const uint8_t> data, size_t begin, size_t width) {
  std::string field;
  for (size_t i = begin; i < begin + width && i < data.size() && data[i] != 0; ++i) field += static_cast<char>(data[i]);
  return field;
}

// ---- 00h physical format information ----
constexpr std::array<const char*, 11> kBookTypes = {"DVD-ROM", "DVD-RAM", "DVD-R", "DVD-RW", "", "", "", "", "",
                                                    "DVD+RW",  "DVD+R"};
constexpr std::array<const char*, 2> kDiscSizes = {"120mm", "80mm"};
constexpr std::array<const char*, 16> kMaximumRates = {"2.52 Mbps", "5.04 Mbps", "10.08 Mbps", "", "", "", "", "",
                                                       "",          "",          "",           "", "", "", "", "Not Specified"};
constexpr std::array<const char*, 9> kLinearDensities = {"0.267um/bit", "0.293um/bit", "0.409-0.435um/bit", "",
                                                         "0.280-0.291um/bit", "", "", "", "0.353um/bit"};
constexpr std::array<const char*, 3> kTrackDensities = {"0.74 um/track", "0.80 um/track", "0.615um/track"};
constexpr std::array<const char*, 3> kLayerContents = {"Layer contains embossed data", "Layer contains recordable data",
                                                       "Layer contains rewritable data"};
constexpr size_t kPhysicalMinimum = 17;

uint32_t DecodePhysicalFormat(std::string& text, std::span<const uint8_t> data) {
  Hex1(text, "Book Type", data[0] >> 4, NameOf(kBookTypes, data[0] >> 4));
  Decimal(text, "Part Version", data[0] & 0x0F);
  const unsigned discSize = (data[1] >> 4) & 7;
  AppendColumns(text, {{0, "Disc Size"}, {46, Format("%10u %s", discSize, NameOf(kDiscSizes, discSize))}});
  Hex1(text, "Maximum Rate", data[1] & 0x0F, NameOf(kMaximumRates, data[1] & 0x0F));
  const unsigned layersField = (data[2] >> 5) & 3;  // 0 means one layer
  Decimal(text, "Number of Layers", layersField);
  Decimal(text, "Track Path", (data[2] >> 4) & 1);
  Hex1(text, "Layer Type", data[2] & 0x0F);
  for (unsigned bit = 0; bit < kLayerContents.size(); ++bit) {
    if (data[2] & (1u << bit)) FreeText(text, kLayerContents[bit]);
  }
  Hex1(text, "Linear Density", data[3] >> 4, NameOf(kLinearDensities, data[3] >> 4));
  Hex1(text, "Track Density", data[3] & 0x0F, NameOf(kTrackDensities, data[3] & 0x0F));
  Hex6(text, "Starting Phy. Sector # of Data Area", GetBe24(&data[5]));
  Hex6(text, "End Phy. Sector # of Data Area", GetBe24(&data[9]));
  Hex6(text, "End Phy. Sector # in Layer 0", GetBe24(&data[13]));
  Decimal(text, "BCA", data[16] >> 7);
  HexDumpOffsets(text, 0, kPhysicalMinimum, data.size(), data);
  return layersField + 1;
}

// ---- 09h DVD-RAM medium status ----
void DecodeMediumStatus(std::string& text, std::span<const uint8_t> data) {
  constexpr struct {
    uint8_t bit;
    const char* label;
  } kStatusBits[] = {{7, "Medium in Cartridge"},
                     {6, "Medium Out from Cartridge"},
                     {3, "Medium Specific Write Inhibition"},
                     {2, "Medium Cartrige Write Protection"},
                     {1, "Persistent Write Protection"}};
  for (const auto& s : kStatusBits) {
    AppendColumns(text, {{0, s.label}, {55, Format("%1u", (data[0] >> s.bit) & 1)}});
  }
  Hex2(text, "Disc Type Identification", data[1]);
  if (data[1] == 0x00) FreeText(text, "Disc shall not be written without a cartridge");
  if (data[1] == 0x10) FreeText(text, "Disc may be written without a cartridge");
  Hex2(text, "DVD-RAM Specific Write Inhibition Information", data[3]);
}

// ---- 0Ah DVD-RAM spare area ----
void DecodeSpareArea(std::string& text, std::span<const uint8_t> data, uint32_t blockLength) {
  constexpr const char* kLabels[] = {"Unused Primary Spare blocks", "Unused Supplemntary Spare blocks",
                                     "Allocated Supplemntary Spare blocks"};
  for (size_t i = 0; i < 3; ++i) {
    const uint32_t blocks = GetBe32(&data[i * 4]);
    std::string count, bytes;
    FormatGroupedRight(16, count, blocks);
    FormatGrouped(bytes, static_cast<int64_t>(uint64_t{blocks} * blockLength));
    AppendColumns(text, {{0, kLabels[i]}, {40, count}, {58, Format("(%13sB", bytes)}});
  }
}

// ---- 0Eh pre-recorded information in the lead-in ----
constexpr size_t kLeadInMinimum = 33;

void DecodeLeadIn(std::string& text, std::span<const uint8_t> data) {
  Hex2(text, "Disc Application code", data[1]);
  Hex2(text, "Disc Physical code", data[2]);
  Hex6(text, "Last address of Data Recordable Area", GetBe24(&data[3]));
  Hex1(text, "Part Version", data[6] >> 4);
  Hex1(text, "Extension code", data[6] & 0x0F);
  Hex2(text, "OPC Suggested Code", data[9]);
  Hex2(text, "Wavelength/OPC Suggested Code", data[10]);
  AppendColumns(text, {{0, "White Strategy Code"}, {48, Format("%08XH", GetBe32(&data[11]))}});
  AppendColumns(text, {{0, "Manufacturer ID"}, {50, Format("%6.6s", TextField(data, 17, 6))}});
  AppendColumns(text, {{0, "Manufacturer ID"}, {50, Format("%6.6s", TextField(data, 25, 6))}});
  HexDumpOffsets(text, 0, kLeadInMinimum, data.size(), data);
}

// ---- 0Fh unique disc identifier ----
void DecodeUniqueDiscId(std::string& text, std::span<const uint8_t> data) {
  AppendColumns(text, {{0, "Random Number"}, {52, Format("%04XH", GetBe16(&data[2]))}});
  AppendColumns(text, {{0, "Year/Month/Day hh:mm:ss"},
                       {37, Format("%4.4s/%2.2s/%2.2s %2.2s:%2.2s:%2.2s", TextField(data, 4, 4), TextField(data, 8, 2),
                                   TextField(data, 10, 2), TextField(data, 12, 2), TextField(data, 14, 2),
                                   TextField(data, 16, 2))}});
}

}  // namespace

const char* DvdStructureName(uint8_t format) {
  const FormatInfo* f = FindFormat(format);
  return f != nullptr ? f->name : "";
}

bool DvdStructureIsPerLayer(uint8_t format) {
  const FormatInfo* f = FindFormat(format);
  return f != nullptr && f->perLayer;
}

bool AddDvdLayerHead(DriveReport& report, uint8_t layer, int32_t subKind, std::span<const uint8_t> answer) {
  if (answer.size() < kAnswerHeader) return false;
  const uint16_t dataLength = GetBe16(answer.data());
  if (dataLength < 2) return false;
  ReportSection& head = report.AddSection(kSectionDvdLayer, subKind, Format("DVD Structure layer:%u", layer));
  HexDumpAddressed(head.text, 0, answer.first(std::min<size_t>(size_t{dataLength} + 2, answer.size())));
  return true;
}

std::vector<DvdListedFormat> DvdStructureList(std::span<const uint8_t> answer) {
  std::vector<DvdListedFormat> list;
  if (answer.size() < kAnswerHeader) return list;
  // Entries follow the 4-byte header; the data length counts from byte 2.
  const size_t end = std::min<size_t>(size_t{GetBe16(answer.data())} + 2, answer.size());
  for (size_t p = kAnswerHeader; p + 4 <= end; p += 4) list.push_back({answer[p], GetBe16(&answer[p + 2])});
  return list;
}

uint32_t AddDvdStructureSection(DriveReport& report, uint8_t format, uint8_t layer, std::span<const uint8_t> answer,
                                uint32_t blockLength) {
  const FormatInfo* info = FindFormat(format);
  const char* name = info != nullptr ? info->name : "";
  const std::string title = *name != '\0' ? std::string(name) : Format("Format:%02X", format);
  ReportSection& section = report.AddSection(kSectionConfiguration, kSectionChild, ChildTitle(title));

  // The data length counts the reserved bytes 2-3 too; a length below 2 means no data.
  const uint16_t dataLength = answer.size() >= 2 ? GetBe16(answer.data()) : 0;
  const unsigned claimed = dataLength >= 2 ? dataLength - 2u : 0u;
  const size_t received = answer.size() > kAnswerHeader ? answer.size() - kAnswerHeader : 0;
  const std::span<const uint8_t> data =
      answer.size() > kAnswerHeader ? answer.subspan(kAnswerHeader, std::min<size_t>(claimed, received))
                                    : std::span<const uint8_t>();

  AppendFormat(section.text, "Format:%02XH Layer:%1u  Address:%s  size:%4u : %s\r\n", format, layer,
               info != nullptr && info->addressed ? Format("%04u", 0u) : std::string("----"), claimed, name);

  uint32_t layers = 0;
  if (format == 0x00 && data.size() >= kPhysicalMinimum) {
    layers = DecodePhysicalFormat(section.text, data);
  } else if (format == 0x09 && data.size() >= 4) {
    DecodeMediumStatus(section.text, data);
  } else if (format == 0x0A && data.size() >= 12) {
    DecodeSpareArea(section.text, data, blockLength);
  } else if (format == 0x0E && data.size() >= kLeadInMinimum) {
    DecodeLeadIn(section.text, data);
  } else if (format == 0x0F && data.size() >= 18) {
    DecodeUniqueDiscId(section.text, data);
  } else {
    HexDumpAddressed(section.text, 0, data);
  }
  return layers;
}

}  // namespace orv

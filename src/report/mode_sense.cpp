#include "report/mode_sense.h"

#include <algorithm>

#include "report/hex_dump.h"
#include "report/mode_pages.h"
#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

constexpr uint32_t kLargestModeData = 4096;

// The mode parameter header in either form (SPC).
struct ModeHeader {
  size_t headerLength = 0;     // 4 or 8
  uint32_t modeDataLength = 0;
  size_t totalLength = 0;      // mode data length + the length field itself
  uint8_t deviceSpecific = 0;  // bit 7 write protect, bit 4 DPO/FUA support
  size_t blockDescriptorLength = 0;
};

bool ReadHeader(int commandLength, std::span<const uint8_t> a, ModeHeader& h) {
  if (commandLength == 6) {
    if (a.size() < 4) return false;
    h = {4, a[0], size_t{a[0]} + 1, a[2], a[3]};
  } else {
    if (a.size() < 8) return false;
    h = {8, GetBe16(&a[0]), size_t{GetBe16(&a[0])} + 2, a[3], GetBe16(&a[6])};
  }
  return true;
}

// A byte of the answer, 0 beyond what the answer holds.
uint8_t ByteAt(std::span<const uint8_t> a, size_t k) { return k < a.size() ? a[k] : 0; }

void AddBlockDescriptorSection(DriveReport& report, const ModeHeader& h, std::span<const uint8_t> a,
                               std::span<const uint8_t> inquiry) {
  ReportSection& section = report.AddSection(kSectionModeSense, kSectionChild, ChildTitle("Block Desciptor"));
  const size_t d = h.headerLength;
  const uint8_t descriptor[8] = {ByteAt(a, d),     ByteAt(a, d + 1), ByteAt(a, d + 2), ByteAt(a, d + 3),
                                 ByteAt(a, d + 4), ByteAt(a, d + 5), ByteAt(a, d + 6), ByteAt(a, d + 7)};
  AppendColumns(section.text, {{0, Format("Block Descriptor %02XH (%,u) %,u", descriptor[0], GetBe24(&descriptor[5]),
                                          GetBe24(&descriptor[1]))}});
  // The device-specific byte means write protect and DPO/FUA only for direct-access devices.
  if (inquiry.size() >= 2 && (inquiry[1] & 0x3F) == 0) {
    AppendColumns(section.text, {{4, "Write Protect"}, {55, Format("%1u", (h.deviceSpecific >> 7) & 1)}});
    AppendColumns(section.text,
                  {{4, "Disable PageOut/Force Unit Access"}, {55, Format("%1u", (h.deviceSpecific >> 4) & 1)}});
  }
}

// One section for the page at the start of `page` (cut at the end of the answer).
void AddPageSection(DriveReport& report, std::span<const uint8_t> page) {
  const uint8_t code = page[0] & 0x3F;
  const std::string heading = Format("pagecode %02XH size:%3u", code, page[1]);
  const std::span<const uint8_t> parameters = page.subspan(2);
  const char* title = ModePageTitle(code);

  if (title == nullptr) {
    ReportSection& section = report.AddSection(kSectionModeSense, kSectionChild, ChildTitle(heading));
    AppendFormat(section.text, "%s\r\n", heading);
    HexDumpAddressed(section.text, 0, parameters);
    return;
  }
  const std::string shortName = Format("%02XH: %s", code, title);
  ReportSection& section = report.AddSection(kSectionModeSense, kSectionChild, ChildTitle(shortName));
  AppendFormat(section.text, "%s - %s\r\n", heading, title);
  if (DecodeModePage(section.text, page) < 0) {
    AppendFormat(section.text, "%s\r\n", shortName);
    HexDumpAddressed(section.text, 0, parameters);
  }
}

}  // namespace

bool ModeSense6AnswerIsEmpty(std::span<const uint8_t> answer) {
  ModeHeader h;
  if (!ReadHeader(6, answer, h) || h.modeDataLength <= 6) return false;
  const size_t first = h.headerLength + h.blockDescriptorLength;
  return ByteAt(answer, first) == 0 && ByteAt(answer, first + 1) == 0;
}

void AddModeSenseAnswer(DriveReport& report, int commandLength, std::span<const uint8_t> answer,
                        std::span<const uint8_t> inquiry) {
  ModeHeader h;
  if (!ReadHeader(commandLength, answer, h)) return;
  if (h.modeDataLength == 0 || h.modeDataLength > kLargestModeData) return;
  // What the drive claims and what the buffer holds may differ; only the latter is read.
  const size_t end = std::min(h.totalLength, answer.size());

  ReportSection& head = report.AddSection(kSectionModeSense, kSectionHead, "Mode Parameter");
  AppendFormat(head.text, "modeSense (%u): length %u\r\n", commandLength, h.totalLength);
  HexDumpAddressed(head.text, 0, answer.first(end));

  if (h.blockDescriptorLength != 0) AddBlockDescriptorSection(report, h, answer.first(end), inquiry);

  // A page needs its code and length bytes inside the answer; a page length of 0 ends the walk.
  size_t position = h.headerLength + h.blockDescriptorLength;
  while (position + 2 <= end && answer[position + 1] != 0) {
    const size_t pageLength = size_t{answer[position + 1]} + 2;
    AddPageSection(report, answer.subspan(position, std::min(pageLength, end - position)));
    position += pageLength;
  }
}

}  // namespace orv

// Every decoder of the drive information report on arbitrary drive answers. The first byte picks
// the decoder and its parameters; the rest is the answer, held in a buffer of exactly its size
// so that AddressSanitizer sees any read past it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "report/capacity_section.h"
#include "report/configuration.h"
#include "report/dvd_structure.h"
#include "report/hex_dump.h"
#include "report/mode_pages.h"
#include "report/mode_sense.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const std::vector<uint8_t> answer(data + 1, data + size);
  orv::DriveReport report;
  std::string text;
  switch (selector % 8) {
    case 0:
      orv::AddModeSenseAnswer(report, selector & 0x80 ? 10 : 6, answer, answer);
      break;
    case 1:
      orv::AddConfigurationAnswer(report, answer);
      break;
    case 2:
      orv::AddDvdLayerHead(report, 0, orv::kSectionHead, answer);
      orv::DvdStructureList(answer);
      break;
    case 3:
      orv::AddDvdStructureSection(report, static_cast<uint8_t>(selector >> 3), 0, answer, 2048);
      break;
    case 4:
      orv::DecodeModePage(text, answer);
      break;
    case 5:
      orv::DecodeCapabilitiesPage(text, answer);
      break;
    case 6:
      orv::AddCapacitySection(report, answer, nullptr);
      text = orv::IdentificationLine("E:", answer);
      break;
    case 7:
      orv::HexDumpOffsets(text, selector, selector >> 3, answer.size() + selector, answer);
      orv::HexDumpAddressed(text, 0xFFFFFFF0u, answer);
      break;
  }
  return 0;
}

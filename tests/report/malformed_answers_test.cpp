// Drive answers that are random or whose lengths lie must never crash the report or make it read
// outside its buffers; the sanitizer builds run these tests to prove the second part.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "report/capacity_section.h"
#include "report/configuration.h"
#include "report/dvd_structure.h"
#include "report/mode_pages.h"
#include "report/mode_sense.h"
#include "virtual_report.h"

namespace orv {
namespace {

constexpr uint8_t kOpModeSense6 = 0x1A;
constexpr uint8_t kOpModeSense10 = 0x5A;
constexpr uint8_t kOpGetConfiguration = 0x46;
constexpr uint8_t kOpReadDvdStructure = 0xAD;

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t maximum) {
  std::vector<uint8_t> bytes(random() % (maximum + 1));
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// Random bytes under a header whose lengths claim far more than follows.
std::vector<uint8_t> LyingAnswer(std::mt19937& random, uint8_t opcode) {
  std::vector<uint8_t> bytes = RandomBytes(random, 64);
  bytes.resize(std::max<size_t>(bytes.size(), 12));
  switch (opcode) {
    case kOpModeSense6:
      bytes[0] = 0xFF;
      bytes[3] = static_cast<uint8_t>(random() % 2 ? 0xF8 : 0x08);
      break;
    case kOpModeSense10:
      bytes[0] = 0x0F;
      bytes[1] = 0xFF;
      bytes[6] = 0x0F;
      break;
    case kOpGetConfiguration:
      bytes[0] = bytes[1] = bytes[2] = bytes[3] = 0xFF;
      bytes[11] = 0xFF;
      break;
    case kOpReadDvdStructure:
      bytes[0] = bytes[1] = 0xFF;
      bytes[4] = static_cast<uint8_t>(random() % 2 ? 0x00 : 0x0A);
      break;
  }
  return bytes;
}

void ExpectWholeLines(const DriveReport& report, int iteration) {
  for (size_t row = 0; row < report.RowCount(); ++row) {
    const std::string& text = report.Row(row).text;
    if (text.empty()) continue;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << iteration << " row " << row;
  }
}

TEST(MalformedAnswers, RandomAnswersFromTheDriveAreSafe) {
  std::mt19937 random(20261206);
  for (int i = 0; i < 150; ++i) {
    test::VirtualReport drive(i % 2 ? "dvdram" : "dvdrom");
    for (uint8_t opcode : {kOpModeSense6, kOpModeSense10, kOpGetConfiguration, kOpReadDvdStructure}) {
      drive.Drive().SetAnswerOverride(opcode, i % 3 == 0 ? LyingAnswer(random, opcode) : RandomBytes(random, 600));
    }
    DriveReport report;
    ASSERT_EQ(drive.Build(report), 0) << i;
    ExpectWholeLines(report, i);
  }
}

TEST(MalformedAnswers, RandomBytesIntoEveryDecoderAreSafe) {
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    const std::vector<uint8_t> bytes = RandomBytes(random, i % 10 == 0 ? 5000 : 300);
    DriveReport report;
    AddModeSenseAnswer(report, i % 2 ? 6 : 10, bytes, bytes);
    AddConfigurationAnswer(report, bytes);
    AddDvdLayerHead(report, 0, kSectionHead, bytes);
    DvdStructureList(bytes);
    const uint8_t format = bytes.empty() ? 0 : bytes[0] % 16;
    AddDvdStructureSection(report, format, 0, bytes, static_cast<uint32_t>(random()));
    AddCapacitySection(report, bytes, nullptr);
    std::string text;
    DecodeModePage(text, bytes);
    DecodeCapabilitiesPage(text, bytes);
    ExpectWholeLines(report, i);
  }
}

}  // namespace
}  // namespace orv

// Drive answers that are random or whose lengths lie must never crash the report or make it read
// outside its buffers; the sanitizer builds run these tests to prove the second part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "scsi/opcodes.h"
#include "report/capacity_section.h"
#include "report/configuration.h"
#include "report/dvd_structure.h"
#include "report/mode_pages.h"
#include "report/mode_sense.h"
#include "virtual_report.h"

namespace orv {
namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t maximum) {
  std::vector<uint8_t> bytes(random() % (maximum + 1));
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

void ExpectWholeLines(const DriveReport& report, int iteration) {
  for (size_t row = 0; row < report.RowCount(); ++row) {
    const std::string& text = report.Row(row).text;
    if (!text.empty()) {
      EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << iteration << " row " << row;
    }
  }
}

TEST(MalformedAnswers, RandomAnswersFromTheDriveAreSafe) {
  // Each command's answer: random bytes, or (every third drive) a header whose lengths claim far
  // more than follows: these bytes, one of the two values at random, over at least 12 random ones.
  struct Lie {
    size_t at;
    uint8_t value[2];
  };
  const struct {
    uint8_t opcode;
    std::vector<Lie> lies;
  } commands[] = {
      {scsi_op::kModeSense6, {{0, {0xFF, 0xFF}}, {3, {0xF8, 0x08}}}},
      {scsi_op::kModeSense10, {{0, {0x0F, 0x0F}}, {1, {0xFF, 0xFF}}, {6, {0x0F, 0x0F}}}},
      {scsi_op::kGetConfiguration, {{0, {0xFF, 0xFF}}, {1, {0xFF, 0xFF}}, {2, {0xFF, 0xFF}}, {3, {0xFF, 0xFF}}, {11, {0xFF, 0xFF}}}},
      {scsi_op::kReadDvdStructure, {{0, {0xFF, 0xFF}}, {1, {0xFF, 0xFF}}, {4, {0x00, 0x0A}}}},
  };
  std::mt19937 random(20261206);
  for (int i = 0; i < 150; ++i) {
    test::VirtualReport drive(i % 2 ? "dvdram" : "dvdrom");
    for (const auto& c : commands) {
      std::vector<uint8_t> answer = RandomBytes(random, i % 3 == 0 ? 64 : 600);
      if (i % 3 == 0) {
        answer.resize(std::max<size_t>(answer.size(), 12));
        for (const Lie& lie : c.lies) answer[lie.at] = lie.value[random() % 2];
      }
      drive.Drive().SetAnswerOverride(c.opcode, answer);
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
    AddDvdStructureSection(report, bytes.empty() ? 0 : bytes[0] % 16, 0, bytes, static_cast<uint32_t>(random()));
    AddCapacitySection(report, bytes, nullptr);
    std::string text;
    DecodeModePage(text, bytes);
    DecodeCapabilitiesPage(text, bytes);
    ExpectWholeLines(report, i);
  }
}

}  // namespace
}  // namespace orv

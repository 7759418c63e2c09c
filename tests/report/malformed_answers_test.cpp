// Random or lying drive answers never crash the report (the sanitizer builds run this); lone decoders: fuzz.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "scsi/opcodes.h"
#include "virtual_report.h"

namespace orv {
namespace {

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
      {scsi_op::kGetConfiguration,
       {{0, {0xFF, 0xFF}}, {1, {0xFF, 0xFF}}, {2, {0xFF, 0xFF}}, {3, {0xFF, 0xFF}}, {11, {0xFF, 0xFF}}}},
      {scsi_op::kReadDvdStructure, {{0, {0xFF, 0xFF}}, {1, {0xFF, 0xFF}}, {4, {0x00, 0x0A}}}},
  };
  std::mt19937 random(20261206);
  for (int i = 0; i < 150; ++i) {
    test::VirtualReport drive(i % 2 ? "dvdram" : "dvdrom");
    for (const auto& c : commands) {
      std::vector<uint8_t> answer(random() % (i % 3 == 0 ? 65 : 601));
      for (uint8_t& b : answer) b = static_cast<uint8_t>(random());
      if (i % 3 == 0) {
        answer.resize(std::max<size_t>(answer.size(), 12));
        for (const Lie& lie : c.lies) answer[lie.at] = lie.value[random() % 2];
      }
      drive.Drive().SetAnswerOverride(c.opcode, answer);
    }
    DriveReport report;
    ASSERT_EQ(drive.Build(report), 0) << i;
    for (size_t row = 0; row < report.RowCount(); ++row) {
      const std::string& text = report.Row(row).text;
      EXPECT_TRUE(text.empty() || text.ends_with("\r\n")) << i << " row " << row;  // whole lines
    }
  }
}

}  // namespace
}  // namespace orv

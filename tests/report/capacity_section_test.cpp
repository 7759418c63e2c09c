#include "report/capacity_section.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

// The expected sections are in golden/capacity.txt. The identification line is InquiryView's text
// after the drive's name (InquiryView.*, every preset's info golden).
TEST(AddCapacitySection, NumbersThenMediaTypeAndGeometry) {
  const ReportGeometry geometry{{1120, 0x0B, 64, 32, 2048}, "Removable"};
  const struct {
    const char* name;
    std::vector<uint8_t> capacity;
    const ReportGeometry* geometry;
    uint64_t blocks = 0, blockLength = 0;  // the section's values
  } cases[] = {
      {"WithGeometry", {0x00, 0x23, 0x05, 0x40, 0x00, 0x00, 0x08, 0x00}, &geometry, 2295104, 2048},
      // The 64-bit product of two 32-bit fields, wider than its 16 columns, is not cut.
      {"LargestWithoutGeometry", {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x10, 0x00}, nullptr, 4294967295u, 4096},
      // No section without blocks, without a block length, or with a short field.
      {"NoBlocks", {0, 0, 0, 0, 0, 0, 8, 0}, &geometry},
      {"NoBlockLength", {0, 0, 0, 1, 0, 0, 0, 0}, &geometry},
      {"ShortField", {0, 0, 0, 1, 0, 0, 8}, &geometry},
  };
  test::NamedTexts texts;
  for (const auto& c : cases) {
    DriveReport report;
    AddCapacitySection(report, c.capacity, c.geometry);
    texts.emplace_back(c.name, test::Rendered(report));
    if (report.RowCount() == 1) {
      EXPECT_EQ(report.Row(0).valueA, c.blocks) << c.name;
      EXPECT_EQ(report.Row(0).valueB, c.blockLength) << c.name;
    }
  }
  test::ExpectGoldenCases("capacity.txt", texts);
}

TEST(AddCapacitySection, LongGeometryFollowsTheLabelDirectly) {
  const ReportGeometry geometry{{1234567890123456789ull, 0x0C, 4294967295u, 4294967295u, 4294967295u}, "Fixed"};
  DriveReport report;
  AddCapacitySection(report, std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 2, 0}, &geometry);
  const std::string& text = report.Row(0).text;
  // The product passes 64 bits; the figure is the exact one (worked out apart from the program).
  EXPECT_NE(text.find("\r\nCylinder/Track/Sector:Size 1234567890123456789/4294967295/4294967295 : 4294967295"
                      "(97,812,545,365,272,398,991,216,816,135,404,058,918,983,728,875)"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace orv

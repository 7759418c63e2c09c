#include "report/capacity_section.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;

// Standard INQUIRY data with the vendor, product and revision fields written from their start.
std::vector<uint8_t> Inquiry(const std::string& vendor, const std::string& product, const std::string& revision) {
  std::vector<uint8_t> data(36, ' ');
  for (size_t i = 0; i < vendor.size(); ++i) data[8 + i] = static_cast<uint8_t>(vendor[i]);
  for (size_t i = 0; i < product.size(); ++i) data[16 + i] = static_cast<uint8_t>(product[i]);
  for (size_t i = 0; i < revision.size(); ++i) data[32 + i] = static_cast<uint8_t>(revision[i]);
  return data;
}

TEST(IdentificationLine, FieldsKeepTheirPaddingAndEndAtANul) {
  EXPECT_EQ(IdentificationLine("E:", Inquiry("ORVANE", "DVD-RAM DRIVE", "1.01")), "E: ORVANE   DVD-RAM DRIVE    1.01");
  EXPECT_EQ(IdentificationLine("F:", Inquiry(std::string("AB\0CD", 5), std::string("X\0", 2), "1")), "F: AB X 1   ");
  // A short INQUIRY answer has no product or revision.
  std::vector<uint8_t> shortData = Inquiry("ORVANE", "DVD", "1.01");
  shortData.resize(20);
  EXPECT_EQ(IdentificationLine("", shortData), " ORVANE   DVD  ");
}

TEST(AddCapacitySection, NumbersThenMediaTypeAndGeometry) {
  const uint8_t capacity[8] = {0x00, 0x23, 0x05, 0x40, 0x00, 0x00, 0x08, 0x00};
  const ReportGeometry geometry{1120, 0x0B, 64, 32, 2048, "Removable"};
  DriveReport report;
  AddCapacitySection(report, capacity, &geometry);
  ASSERT_EQ(report.RowCount(), 1u);
  const ReportSection& section = report.Row(0);
  EXPECT_EQ(section.title, "Capacity/Geometory");
  EXPECT_EQ(section.kind, kSectionCapacity);
  EXPECT_EQ(section.subKind, kSectionHead);
  EXPECT_EQ(section.valueA, 2295104u);
  EXPECT_EQ(section.valueB, 2048u);
  EXPECT_EQ(section.text, Lines({"Logical Block Address                          2,295,104",
                                 "Block Length                                       2,048",
                                 "Total Capacity                             4,700,372,992",
                                 "Media Type                                            0BH Removable",
                                 "Cylinder/Track/Sector:Size             1120/64/32 : 2048  (4,697,620,480)"}));

  // Without geometry only the numbers; the 64-bit product of two 32-bit fields is not cut.
  DriveReport largest;
  AddCapacitySection(largest, std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x10, 0x00}, nullptr);
  ASSERT_EQ(largest.RowCount(), 1u);
  EXPECT_EQ(largest.Row(0).text, Lines({"Logical Block Address                      4,294,967,295",
                                        "Block Length                                       4,096",
                                        "Total Capacity                          17,592,186,040,320"}));
}

TEST(AddCapacitySection, LongGeometryFollowsTheLabelDirectly) {
  const ReportGeometry geometry{1234567890123456789ull, 0x0C, 4294967295u, 4294967295u, 4294967295u, "Fixed"};
  DriveReport report;
  AddCapacitySection(report, std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 2, 0}, &geometry);
  const std::string& text = report.Row(0).text;
  EXPECT_NE(text.find("\r\nCylinder/Track/Sector:Size 1234567890123456789/4294967295/4294967295 : 4294967295("),
            std::string::npos)
      << text;
}

TEST(AddCapacitySection, NoSectionWithoutBlocksOrBlockLength) {
  const std::vector<std::vector<uint8_t>> fields = {
      {0, 0, 0, 0, 0, 0, 8, 0}, {0, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 0, 0, 8}};
  for (const std::vector<uint8_t>& field : fields) {
    DriveReport report;
    AddCapacitySection(report, field, nullptr);
    EXPECT_EQ(report.RowCount(), 0u);
  }
}

}  // namespace
}  // namespace orv


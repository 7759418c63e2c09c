// The one reading of standard INQUIRY data the drive list, the summary and the report share.
#include "device/inquiry_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/drive_list.h"

namespace orv {
namespace {

TEST(InquiryView, FieldsStopAtTheirEndsAtZerosAndAtTheDataEnd) {
  std::vector<uint8_t> inquiry(36, 'x');
  std::memcpy(inquiry.data() + 8, "LONGVEND", 8);  // no terminator within the 8 bytes
  std::memcpy(inquiry.data() + 16, "PRODUCT\0garbage!", 16);
  std::memcpy(inquiry.data() + 32, "1.0A", 4);
  const struct {
    size_t length;  // the data cut to this many bytes
    const char *vendor, *product, *revision, *text;
  } cases[] = {
      {36, "LONGVEND", "PRODUCT", "1.0A", "LONGVEND PRODUCT 1.0A"},
      {40, "LONGVEND", "PRODUCT", "1.0A", "LONGVEND PRODUCT 1.0A"},  // bytes past 35 are not read
      {20, "LONGVEND", "PROD", "", "LONGVEND PROD "},  // adapter inquiry data may be short
      {5, "", "", "", "  "},
      {0, "", "", "", "  "},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> data = inquiry;
    data.resize(c.length, 'y');
    const InquiryView view(data);
    EXPECT_EQ(view.Vendor(), c.vendor) << c.length;
    EXPECT_EQ(view.Product(), c.product) << c.length;
    EXPECT_EQ(view.Revision(), c.revision) << c.length;
    EXPECT_EQ(view.IdentificationText(), c.text) << c.length;
  }
}

TEST(InquiryView, PaddingStaysAndEveryOwnerGivesTheSameText) {
  DriveRecord record;
  record.unit.inquiryData.assign(36, ' ');
  record.unit.inquiryData[0] = 0x25;  // qualifier 1, type 5
  record.unit.inquiryData[1] = 0x80;
  record.unit.inquiryData[2] = 0x02;
  std::memcpy(record.unit.inquiryData.data() + 8, "ORVANE  VIRTUAL DVD-RAM 1.01", 28);
  EXPECT_EQ(IdentificationText(record), "ORVANE   VIRTUAL DVD-RAM  1.01");
  EXPECT_EQ(IdentificationText(record.unit), IdentificationText(record));
  const InquiryView view(record.unit);
  EXPECT_EQ(view.DeviceType(), 5);
  EXPECT_TRUE(view.RemovableMedium());
  EXPECT_EQ(view.Version(), 2);
  EXPECT_FALSE(InquiryView(std::span<const uint8_t>(record.unit.inquiryData).first(1)).RemovableMedium());
}

}  // namespace
}  // namespace orv

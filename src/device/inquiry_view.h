// The fields of standard INQUIRY data (SPC) the program shows and decides on, read from the
// bytes a unit answered. Data shorter than a field leaves that field short or absent (a unit
// found through the adapter may carry fewer than 36 bytes); nothing outside the data is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orv {

struct DriveRecord;
struct ScsiUnit;

class InquiryView {
 public:
  explicit InquiryView(std::span<const uint8_t> data) : data_(data) {}
  explicit InquiryView(const ScsiUnit& unit);

  // Byte 0, bits 4-0: the peripheral device type (0 disk, 5 CD/DVD, 7 optical memory...).
  uint8_t DeviceType() const { return Byte(0) & 0x1F; }
  // Byte 1, bit 7: the medium is removable.
  bool RemovableMedium() const { return (Byte(1) & 0x80) != 0; }
  // Byte 2: the version of the standard the unit claims; 0 for ATAPI drives that claim none.
  uint8_t Version() const { return Byte(2); }

  // Vendor (bytes 8-15), product (16-31) and revision (32-35), each ending at its field's end,
  // at a zero byte or at the end of the data. The drive's padding spaces stay.
  std::string Vendor() const { return Field(8, 8); }
  std::string Product() const { return Field(16, 16); }
  std::string Revision() const { return Field(32, 4); }

  // "%.8s %.16s %.4s" of vendor, product and revision: the identification the drive list,
  // the summary and the report show.
  std::string IdentificationText() const;

 private:
  uint8_t Byte(size_t index) const { return index < data_.size() ? data_[index] : 0; }
  std::string Field(size_t first, size_t length) const;

  std::span<const uint8_t> data_;
};

// The identification text of a unit's or a record's INQUIRY data.
std::string IdentificationText(const ScsiUnit& unit);
std::string IdentificationText(const DriveRecord& record);

}  // namespace orv

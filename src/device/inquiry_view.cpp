#include "device/inquiry_view.h"

#include "device/adapter_inquiry.h"
#include "device/drive_list.h"

namespace orv {

InquiryView::InquiryView(const ScsiUnit& unit) : data_(unit.inquiryData) {}

std::string InquiryView::Field(size_t first, size_t length) const {
  std::string text;
  for (size_t i = first; i < first + length && i < data_.size() && data_[i] != 0; ++i) {
    text.push_back(static_cast<char>(data_[i]));
  }
  return text;
}

std::string InquiryView::IdentificationText() const { return Vendor() + " " + Product() + " " + Revision(); }

std::string IdentificationText(const ScsiUnit& unit) { return InquiryView(unit).IdentificationText(); }

std::string IdentificationText(const DriveRecord& record) { return IdentificationText(record.unit); }

}  // namespace orv

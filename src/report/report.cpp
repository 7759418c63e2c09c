#include "report/report.h"

#include "report/print.h"

namespace orv {

void DriveReport::Clear() {
  sections_.clear();
  identification_.clear();
  geometry_.reset();
}

ReportSection& DriveReport::AddSection(int32_t kind, int32_t subKind, std::string title) {
  auto section = std::make_unique<ReportSection>();
  section->kind = kind;
  section->subKind = subKind;
  section->title = std::move(title);
  sections_.push_back(std::move(section));
  return *sections_.back();
}

std::string_view DriveReport::RowDisplayText(size_t row) const {
  const ReportSection& section = Row(row);
  return section.text.empty() ? std::string_view(section.title) : std::string_view(section.text);
}

std::string ChildTitle(std::string_view title) {
  return Format("%*s%s", 2, "", std::string(title));
}

}  // namespace orv

// The drive information report: an ordered list of titled sections, each holding CR LF text,
// and the identification line shown above the list. Sections are made in report order by the
// gatherers and never removed or reordered until the report is rebuilt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/ports/control_answers.h"

namespace orv {

// The disk geometry the operating system reports for the drive (DISK_GEOMETRY), with the name
// of its media type.
struct ReportGeometry : DiskGeometry {
  std::string mediaTypeName;
};

// Which gatherer made a section.
enum SectionKind : int32_t {
  kSectionCapacity = 1,       // capacity and geometry
  kSectionModeSense = 5,      // mode parameter head, block descriptor, mode pages
  kSectionConfiguration = 6,  // configuration head and features; also the DVD structure formats
  kSectionDvdLayer = 7,       // DVD structure list of one layer
};

// 0 for a gatherer's head section, 1 for the sections under it.
enum SectionSubKind : int32_t { kSectionHead = 0, kSectionChild = 1 };

struct ReportSection {
  int32_t kind = 0;
  int32_t subKind = 0;
  std::string title;  // as the section list shows it; child titles carry a two-blank indent
  std::string text;   // CP932 lines, each ended by CR LF
  uint64_t valueA = 0;  // capacity section: block count
  uint64_t valueB = 0;  // capacity section: block length
};

// The report's sections in report order, and the model a list control or a console shows:
// one row per section, the row's text is the section title, choosing a row shows its text.
class DriveReport {
 public:
  // Drops every section and the identification line, before the report is gathered again.
  void Clear();

  // Appends a section at the end of the list and returns it for its text to be written.
  ReportSection& AddSection(int32_t kind, int32_t subKind, std::string title);

  size_t RowCount() const { return sections_.size(); }
  const ReportSection& Row(size_t row) const { return *sections_.at(row); }
  const std::string& RowTitle(size_t row) const { return Row(row).title; }
  // What the text pane shows for a chosen row: the section text, or the title when the
  // section has no text.
  std::string_view RowDisplayText(size_t row) const;

  // "%s %s" of the drive's name and its INQUIRY vendor, product and revision.
  const std::string& Identification() const { return identification_; }
  void SetIdentification(std::string line) { identification_ = std::move(line); }

  // The geometry the capacity section shows, as decoded values for callers that give them as
  // fields (the console's JSON); null when the report shows none.
  const ReportGeometry* Geometry() const { return geometry_ ? &*geometry_ : nullptr; }
  void SetGeometry(const ReportGeometry& geometry) { geometry_ = geometry; }

 private:
  std::vector<std::unique_ptr<ReportSection>> sections_;
  std::string identification_;
  std::optional<ReportGeometry> geometry_;
};

// Title of a section that stands under a head section: indented by two blanks.
std::string ChildTitle(std::string_view title);

}  // namespace orv

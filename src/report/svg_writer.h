// A small writer of SVG text, for the pictures the program draws (the surface map, the speed
// curve). Deterministic: the same calls give the same bytes, numbers with one decimal at most.
// Text is written as printable ASCII, anything else replaced by '?', so bytes a drive answers
// (its identification) always make well-formed XML.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orv {

class SvgWriter {
 public:
  // Opens the document: width and height in pixels, and the style sheet its classes use.
  SvgWriter(double width, double height, std::string_view css);

  // `attributes` go into the element as they are (written by the program, not escaped).
  void Rect(double x, double y, double width, double height, std::string_view attributes);
  void Line(double x1, double y1, double x2, double y2, std::string_view attributes);
  void Polyline(const std::vector<std::pair<double, double>>& points, std::string_view attributes);
  void Polygon(const std::vector<std::pair<double, double>>& points, std::string_view attributes);
  // `text` is escaped (see above).
  void Text(double x, double y, std::string_view text, std::string_view attributes);
  void OpenGroup(std::string_view attributes);
  void CloseGroup();

  // The whole document, closed.
  std::string Finish();

 private:
  std::string out_;
};

// "12", "12.5", "-0.3": at most one decimal.
std::string SvgNumber(double value);
// Printable ASCII with &, <, > and " escaped; other bytes become '?'.
std::string SvgEscape(std::string_view text);

}  // namespace orv

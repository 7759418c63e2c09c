#include "report/svg_writer.h"

#include <cmath>
#include <cstdio>

namespace orv {

std::string SvgNumber(double value) {
  const double tenths = std::round(value * 10);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", tenths / 10 == 0 ? 0.0 : tenths / 10);  // no "-0.0"
  std::string s = text;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string SvgEscape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
  }
  return out;
}

SvgWriter::SvgWriter(double width, double height, std::string_view css) {
  out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         SvgNumber(width) + "\" height=\"" + SvgNumber(height) + "\" viewBox=\"0 0 " + SvgNumber(width) + " " +
         SvgNumber(height) + "\">\n<style>" + std::string(css) + "</style>\n";
  Rect(0, 0, width, height, "fill=\"#ffffff\"");
}

void SvgWriter::Rect(double x, double y, double width, double height, std::string_view attributes) {
  out_ += "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" + SvgNumber(width) + "\" height=\"" +
          SvgNumber(height) + "\" " + std::string(attributes) + "/>\n";
}

void SvgWriter::Line(double x1, double y1, double x2, double y2, std::string_view attributes) {
  out_ += "<line x1=\"" + SvgNumber(x1) + "\" y1=\"" + SvgNumber(y1) + "\" x2=\"" + SvgNumber(x2) + "\" y2=\"" +
          SvgNumber(y2) + "\" " + std::string(attributes) + "/>\n";
}

namespace {
std::string PointList(const std::vector<std::pair<double, double>>& points) {
  std::string list;
  for (const auto& [x, y] : points) {
    if (!list.empty()) list += ' ';
    list += SvgNumber(x);
    list += ',';
    list += SvgNumber(y);
  }
  return list;
}
}  // namespace

void SvgWriter::Polyline(const std::vector<std::pair<double, double>>& points, std::string_view attributes) {
  out_ += "<polyline points=\"" + PointList(points) + "\" " + std::string(attributes) + "/>\n";
}

void SvgWriter::Polygon(const std::vector<std::pair<double, double>>& points, std::string_view attributes) {
  out_ += "<polygon points=\"" + PointList(points) + "\" " + std::string(attributes) + "/>\n";
}

void SvgWriter::Text(double x, double y, std::string_view text, std::string_view attributes) {
  out_ += "<text x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\"" + (attributes.empty() ? "" : " ") +
          std::string(attributes) + ">" + SvgEscape(text) + "</text>\n";
}

void SvgWriter::OpenGroup(std::string_view attributes) { out_ += "<g " + std::string(attributes) + ">\n"; }

void SvgWriter::CloseGroup() { out_ += "</g>\n"; }

std::string SvgWriter::Finish() { return out_ + "</svg>\n"; }

}  // namespace orv

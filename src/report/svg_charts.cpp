// Bar charts as inline SVG for the report page: see svg_charts.h.

#include "report/svg_charts.h"

#include <algorithm>
#include <string>

#include "base/decimal.h"
#include "report/figure_text.h"

namespace quillmere {
namespace {

// Drawing units: the SVG scales as a whole, so these are proportions.
constexpr double kWidth = 640;
constexpr double kValueRoom = 230;  // right of the longest bar, for its amount
constexpr double kRowHeight = 58;
constexpr double kBarHeight = 22;
constexpr const char* kColours[] = {"#1f5f99", "#2e8b7a", "#d08a2c", "#8a5aa8", "#c2504b", "#5c7f3a"};

std::string Coordinate(double value) { return NumberText(RoundDecimal(value, 1)); }

}  // namespace

std::string BarChartSvg(const ReportChart& chart, double whole) {
  double largest = 0;
  for (const ReportChart::Bar& bar : chart.bars) largest = std::max(largest, bar.value);
  const double height = kRowHeight * static_cast<double>(chart.bars.size()) + 8;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Coordinate(kWidth) + " " +
                    Coordinate(height) + "\" role=\"img\" aria-label=\"" + EscapeMarkup(chart.title) + "\"><title>" +
                    EscapeMarkup(chart.title) + "</title>";
  double y = 4;
  size_t colour = 0;
  for (const ReportChart::Bar& bar : chart.bars) {
    // A bar shows its amount's size; an amount at or below 0 keeps its label
    // and figure without a bar.
    const double length = largest > 0 ? std::max(0.0, bar.value) / largest * (kWidth - kValueRoom) : 0;
    std::string figure = MoneyText(bar.value);
    if (whole != 0) figure += " · " + NumberText(RoundDecimal(bar.value / whole * 100, 1)) + "%";
    svg += "<text x=\"0\" y=\"" + Coordinate(y + 18) + "\" class=\"label\">" + EscapeMarkup(bar.label) + "</text>";
    svg += "<rect x=\"0\" y=\"" + Coordinate(y + 26) + "\" width=\"" + Coordinate(length) + "\" height=\"" +
           Coordinate(kBarHeight) + "\" rx=\"2\" fill=\"" + kColours[colour++ % std::size(kColours)] + "\"/>";
    svg += "<text x=\"" + Coordinate(length + 6) + "\" y=\"" + Coordinate(y + 43) + "\" class=\"figure\">" +
           EscapeMarkup(figure) + "</text>";
    y += kRowHeight;
  }
  return svg + "</svg>";
}

}  // namespace quillmere

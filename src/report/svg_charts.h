// The page's charts as inline SVG: drawn when the page is written, so the
// page needs no script and no network to show them.

#ifndef QUILLMERE_REPORT_SVG_CHARTS_H_
#define QUILLMERE_REPORT_SVG_CHARTS_H_

#include <string>

#include "quillmere/report.h"

namespace quillmere {

// A horizontal bar chart of `chart`, one labelled bar per amount, each with
// its amount and its share of `whole` (no share when `whole` is 0). The
// SVG scales to the width of its container.
std::string BarChartSvg(const ReportChart& chart, double whole);

}  // namespace quillmere

#endif  // QUILLMERE_REPORT_SVG_CHARTS_H_

// Figures and names as text in the reports: see figure_text.h.

#include "report/figure_text.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/decimal.h"

namespace quillmere {

std::string MoneyText(double value) {
  const double rounded = RoundDecimal(value, 2);
  const double magnitude = std::fabs(rounded);
  std::string digits;
  std::string cents;
  if (magnitude < 1e13) {
    // Rounded to the cent, the amount is a whole number of cents that a
    // 64-bit integer holds exactly; the cheap way for a page of a million
    // figures.
    const long long total = std::llround(magnitude * 100);
    digits = std::to_string(total / 100);
    cents = std::to_string(100 + total % 100).substr(1);
  } else {
    digits = NumberText(magnitude);
    const size_t point = digits.find('.');
    cents = point == std::string::npos ? "" : digits.substr(point + 1);
    cents.resize(2, '0');
    digits.resize(std::min(point, digits.size()));
  }
  std::string text = rounded < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text + "." + cents;
}

std::string EscapeMarkup(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace quillmere

// How figures and names read as text in the reports: money to the cent with
// thousands separators, and names escaped so that the page never takes one
// for markup.

#ifndef QUILLMERE_REPORT_FIGURE_TEXT_H_
#define QUILLMERE_REPORT_FIGURE_TEXT_H_

#include <string>
#include <string_view>

namespace quillmere {

// 1127436.69 as "1,127,436.69"; rounded half away from zero on the decimal.
std::string MoneyText(double value);

// `text` with &, <, >, " and ' written as character references: safe as
// element content and as a quoted attribute value, in HTML and in SVG.
std::string EscapeMarkup(std::string_view text);

}  // namespace quillmere

#endif  // QUILLMERE_REPORT_FIGURE_TEXT_H_

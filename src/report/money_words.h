// Amounts in Chinese upper-case money words (大写金额), as written on the
// cover of a priced bill and on cheques.

#ifndef QUILLMERE_REPORT_MONEY_WORDS_H_
#define QUILLMERE_REPORT_MONEY_WORDS_H_

#include <string>

namespace quillmere {

// `amount`, rounded to the fen half away from zero on its decimal, in money
// words: 1127436.69 is "壹佰壹拾贰万柒仟肆佰叁拾陆元陆角玖分". Throws Error
// for an amount of 10^13 yuan or more, which has no 15-digit decimal to the
// fen.
std::string MoneyInWords(double amount);

}  // namespace quillmere

#endif  // QUILLMERE_REPORT_MONEY_WORDS_H_

// Upper-case money words, by the convention of Chinese cheques and priced
// bills:
//  - digits 零壹贰叁肆伍陆柒捌玖, places 拾佰仟 within a group of four digits,
//    groups 万 and 亿 (a 万 above 亿 reads 万亿); 拾 always takes its digit:
//    壹拾元, never 拾元;
//  - a run of zeros inside the yuan is written as one 零, across groups too
//    (1,000,100 is 壹佰万零壹佰元); zeros closing a group are not written,
//    before 万 or 亿 or 元 (201,000 is 贰拾万壹仟元, 1,680.32 is
//    壹仟陆佰捌拾元叁角贰分), both of which the convention allows;
//  - 整 closes an amount without fen: 壹仟元整, 壹拾贰元伍角整; fen without
//    jiao take 零 after 元 (叁元零伍分); less than a yuan starts at its jiao
//    or fen (伍角整, 伍分); nothing at all is 零元整; a negative amount is
//    prefixed 负.

#include "report/money_words.h"

#include <string>

#include "base/decimal.h"
#include "quillmere/connection.h"

namespace quillmere {
namespace {

constexpr const char* kDigits[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
constexpr const char* kPlaces[] = {"", "拾", "佰", "仟"};

// The unit that closes the group ending at `place` (4, 8 or 12).
const char* GroupUnit(int place) { return place == 8 ? "亿" : "万"; }

// The yuan digits (no leading zeros but a lone "0") in words, without 元.
std::string YuanWords(const std::string& digits) {
  std::string words;
  bool zero_pending = false;  // zeros since the last digit written, inside the amount
  bool group_has_digit = false;
  const int count = static_cast<int>(digits.size());
  for (int i = 0; i < count; ++i) {
    const int place = count - 1 - i;
    const int digit = digits[static_cast<size_t>(i)] - '0';
    if (digit == 0) {
      zero_pending = !words.empty();
    } else {
      if (zero_pending) words += kDigits[0];
      zero_pending = false;
      words += kDigits[digit];
      words += kPlaces[place % 4];
      group_has_digit = true;
    }
    if (place > 0 && place % 4 == 0) {
      // 亿 also closes a 万亿 whose own group of four is all zeros.
      if (group_has_digit || (place == 8 && !words.empty())) words += GroupUnit(place);
      // Zeros after the group's last digit are not written; a group that is
      // all zeros is a run inside the amount and keeps its 零.
      if (group_has_digit) zero_pending = false;
      group_has_digit = false;
    }
  }
  return words;
}

}  // namespace

std::string MoneyInWords(double amount) {
  const double rounded = RoundDecimal(amount, 2);
  if (!(rounded > -1e13 && rounded < 1e13)) {
    throw Error("the amount " + NumberText(amount) + " is too large for money words");
  }
  std::string text = NumberText(rounded < 0 ? -rounded : rounded);
  const size_t point = text.find('.');
  std::string cents = point == std::string::npos ? "" : text.substr(point + 1);
  cents.resize(2, '0');
  const int jiao = cents[0] - '0';
  const int fen = cents[1] - '0';

  std::string words = YuanWords(text.substr(0, point));
  const bool has_yuan = !words.empty();
  if (has_yuan) words += "元";
  if (jiao == 0 && fen == 0) {
    words = (has_yuan ? words : "零元") + "整";
  } else {
    if (jiao != 0) {
      words += kDigits[jiao];
      words += "角";
    } else if (has_yuan) {
      words += kDigits[0];
    }
    words += fen != 0 ? std::string(kDigits[fen]) + "分" : "整";
  }
  return rounded < 0 ? "负" + words : words;
}

}  // namespace quillmere

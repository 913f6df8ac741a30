// Calling a member of ClsOrvane by its exact name with its arguments as data,
// the way hosts outside C++ call it (`quillmere call`, the C interface of
// quillmere/quillmere.h): the member table, the reading of the arguments and
// the outcome as one JSON object, the same for every such host.

#ifndef QUILLMERE_MEMBER_CALL_H_
#define QUILLMERE_MEMBER_CALL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "quillmere/connection.h"

namespace quillmere {

class ClsOrvane;

// A call that cannot be made as asked: no member of that name, the wrong
// number of arguments, an argument of the wrong kind, arguments that are no
// JSON array. what() says which; nothing has run.
class MisuseError : public Error {
 public:
  using Error::Error;
};

struct MemberCallOutcome {
  // {"member": NAME, "result": R, "out": {NAME: VALUE, ...}, "messages":
  // [{"prompt", "style", "title"}, ...]} on one line: R is the result text,
  // the Boolean of JiSuanZHDJ or the number of JiSuanQDDJ, "out" holds the
  // by-reference numbers under their parameter names. Numbers carry at most
  // 15 significant digits.
  std::string json;
  // Empty when the member succeeded; otherwise the reason it gave: a text
  // member's result, or the prompt of the message box a failed
  // recalculation or bill item price raised.
  std::string failure;

  bool failed() const { return !failure.empty(); }
};

class MemberCall {
 public:
  // Arguments as a JSON array in the member's order: booleans true/false
  // (numbers are refused, they are too easily an argument out of place),
  // integers as whole JSON numbers without a fraction, numbers as any JSON
  // number, texts as JSON strings; a by-reference number gives its starting
  // value; optional last arguments may be left out. Throws MisuseError.
  static MemberCall FromJson(std::string_view member, std::string_view arguments_json);

  // Arguments as the words of a command line: booleans true/false/1/0,
  // integers in decimal, numbers as ReadNumberWord reads them, texts as they
  // are. Throws MisuseError.
  static MemberCall FromWords(std::string_view member, const std::vector<std::string>& words);

  // Calls the member on `orvane`, with the member's own all-or-nothing
  // guarantee. The message boxes it raises go to the handler installed on
  // `orvane`, if any, as they are raised, and are listed in the outcome
  // instead of being kept in orvane.Messages().
  MemberCallOutcome Run(ClsOrvane& orvane) const;

 private:
  using Argument = std::variant<bool, std::int32_t, double, std::string>;
  MemberCall(std::size_t member, std::vector<Argument> arguments) : member_(member), arguments_(std::move(arguments)) {}

  std::size_t member_;               // index into the member table
  std::vector<Argument> arguments_;  // one per parameter given, in order
};

// One line per public member in the order of the interface: its name and
// parameters with their kinds, optional ones in brackets
// ("ChongXinJSXXJ_QB [BolQingKongXXJ:true|false]").
std::vector<std::string> MemberSignatures();

// Reads the whole of `word` as a finite number (strtod's syntax, so "2.5",
// "-1e3"); false for anything else, the empty word included.
bool ReadNumberWord(const std::string& word, double& value);

}  // namespace quillmere

#endif  // QUILLMERE_MEMBER_CALL_H_

// The member table of ClsOrvane for hosts that call members by name: each
// public member with its parameters, the two readers of arguments (a JSON
// array, command-line words) and the outcome as one JSON object.

#include "quillmere/member_call.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "component/host_json.h"
#include "quillmere/cls_orvane.h"

namespace quillmere {
namespace {

enum class Kind { kBool, kText, kInt, kDouble, kOutDouble };

struct Parameter {
  const char* name;
  Kind kind;
  bool optional = false;
};

// The arguments of one call sorted by kind, each list in parameter order;
// by-reference numbers start at the value given and come back in "out".
struct Arguments {
  std::vector<bool> bools;
  std::vector<std::string> texts;
  std::vector<std::int32_t> ints;
  std::vector<double> doubles;
  std::vector<double> outs;
};

struct Result {
  Json value;
  bool failed = false;
};

struct Member {
  const char* name;
  std::vector<Parameter> parameters;
  // `raised` holds the message boxes of this call so far.
  std::function<Result(ClsOrvane&, Arguments&, const std::vector<Message>& raised)> call;
};

Result TextResult(const std::string& text) { return {Json(text), !text.empty()}; }

// The public members in the order of the interface.
const std::vector<Member>& Members() {
  using Raised = const std::vector<Message>&;
  static const std::vector<Member> members = {
      {"ZhengLiGCShuJu",
       {{"BolQDJJ", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a, Raised) { return TextResult(o.ZhengLiGCShuJu(a.bools[0])); }},
      {"JiSuanDEJJ_QB", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.JiSuanDEJJ_QB()); }},
      {"ChongXinJSXXJ_QB",
       {{"BolQingKongXXJ", Kind::kBool, true}},
       [](ClsOrvane& o, Arguments& a, Raised) {
         return TextResult(a.bools.empty() ? o.ChongXinJSXXJ_QB() : o.ChongXinJSXXJ_QB(a.bools[0]));
       }},
      {"HuiZongRCJ", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.HuiZongRCJ()); }},
      {"JiSuanXXJ",
       {{"BolJSAZ", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a, Raised) { return TextResult(o.JiSuanXXJ(a.bools[0])); }},
      {"QingDanCLHZ", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.QingDanCLHZ()); }},
      {"JiSuanZHDJ_QB",
       {{"StrJJFS", Kind::kText}, {"boljjcx", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a, Raised) { return TextResult(o.JiSuanZHDJ_QB(a.texts[0], a.bools[0])); }},
      {"JiSuanGCRCJ",
       {{"BolQDJJ", Kind::kBool}, {"zgr", Kind::kOutDouble}},
       [](ClsOrvane& o, Arguments& a, Raised) { return TextResult(o.JiSuanGCRCJ(a.bools[0], a.outs[0])); }},
      {"JiSuanZDYCS", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.JiSuanZDYCS()); }},
      {"JiSuanCSFB", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.JiSuanCSFB()); }},
      {"JiSuanZLJE", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.JiSuanZLJE()); }},
      {"JiSuanZCBFWF", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.JiSuanZCBFWF()); }},
      {"JiSuanQTXM", {}, [](ClsOrvane& o, Arguments&, Raised) { return TextResult(o.JiSuanQTXM()); }},
      {"JiSuanHZB",
       {{"DblJZMJ", Kind::kDouble}, {"DblGCZJ", Kind::kOutDouble}, {"DblJJZB", Kind::kOutDouble}},
       [](ClsOrvane& o, Arguments& a, Raised) { return TextResult(o.JiSuanHZB(a.doubles[0], a.outs[0], a.outs[1])); }},
      {"JiSuanZHDJ",
       {{"LngYSID", Kind::kInt}, {"boljjcx", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a, Raised) {
         const bool ok = o.JiSuanZHDJ(a.ints[0], a.bools[0]);
         return Result{Json(ok), !ok};
       }},
      {"JiSuanQDDJ",
       {{"LngQDID", Kind::kInt},
        {"StrDYZM", Kind::kText},
        {"BolBZJ", Kind::kBool},
        {"dblZgj", Kind::kOutDouble},
        {"boljjcx", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a, Raised raised) {
         const double price = o.JiSuanQDDJ(a.ints[0], a.texts[0], a.bools[0], a.outs[0], a.bools[1]);
         // A failure shows its message box; success shows none.
         return Result{Json(Tidy(price)), !raised.empty()};
       }},
  };
  return members;
}

std::string KindName(Kind kind) {
  switch (kind) {
    case Kind::kBool:
      return "true|false";
    case Kind::kText:
      return "text";
    case Kind::kInt:
      return "integer";
    case Kind::kDouble:
      return "number";
    case Kind::kOutDouble:
      return "number, by reference";
  }
  return {};
}

std::string Signature(const Member& member) {
  std::string text = member.name;
  for (const auto& p : member.parameters) {
    text += p.optional ? " [" : " ";
    text += std::string(p.name) + ":" + KindName(p.kind);
    if (p.optional) text += "]";
  }
  return text;
}

std::size_t FindMember(std::string_view name) {
  const auto& members = Members();
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (name == members[i].name) return i;
  }
  throw MisuseError("no member named " + std::string(name));
}

// The one reading of a call's arguments, whatever they came as: the count
// checked against the member's parameters, then each value read into `into`
// by its parameter's kind through `read`, which answers false for a value of
// the wrong kind and writes it as the message shows it into `shown`.
template <typename Value, typename Into, typename Read>
void ReadArguments(const Member& member, const std::vector<Value>& values, Into& into, Read read) {
  std::size_t required = 0;
  for (const auto& p : member.parameters) required += p.optional ? 0 : 1;
  if (values.size() < required || values.size() > member.parameters.size()) {
    throw MisuseError("wrong number of arguments; usage: " + Signature(member));
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    const Parameter& p = member.parameters[i];
    std::string shown;
    if (!read(p.kind, values[i], into, shown)) {
      throw MisuseError(std::string(p.name) + " takes " + KindName(p.kind) + ", not " + shown);
    }
  }
}

bool ReadWordAsInt(const std::string& word, std::int32_t& value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<std::int32_t>(parsed);
  return true;
}

}  // namespace

bool ReadNumberWord(const std::string& word, double& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size() && errno == 0 && std::isfinite(value);
}

std::vector<std::string> MemberSignatures() {
  std::vector<std::string> lines;
  for (const auto& member : Members()) lines.push_back(Signature(member));
  return lines;
}

MemberCall MemberCall::FromWords(std::string_view member, const std::vector<std::string>& words) {
  const std::size_t index = FindMember(member);
  std::vector<Argument> arguments;
  const auto read = [](Kind kind, const std::string& word, std::vector<Argument>& into, std::string& shown) {
    shown = "\"" + word + "\"";
    double number = 0;
    std::int32_t whole = 0;
    switch (kind) {
      case Kind::kBool:
        if (word != "true" && word != "false" && word != "1" && word != "0") return false;
        into.emplace_back(word == "true" || word == "1");
        return true;
      case Kind::kText:
        into.emplace_back(word);
        return true;
      case Kind::kInt:
        if (!ReadWordAsInt(word, whole)) return false;
        into.emplace_back(whole);
        return true;
      case Kind::kDouble:
      case Kind::kOutDouble:
        if (!ReadNumberWord(word, number)) return false;
        into.emplace_back(number);
        return true;
    }
    return false;
  };
  ReadArguments(Members()[index], words, arguments, read);
  return MemberCall(index, std::move(arguments));
}

MemberCall MemberCall::FromJson(std::string_view member, std::string_view arguments_json) {
  const std::size_t index = FindMember(member);
  const Json parsed = ParseHostJson(arguments_json, "the arguments");
  if (!parsed.is_array()) throw MisuseError("the arguments must be a JSON array, such as [1211, false]");
  std::vector<Json> values(parsed.begin(), parsed.end());
  std::vector<Argument> arguments;
  const auto read = [](Kind kind, const Json& value, std::vector<Argument>& into, std::string& shown) {
    shown = Dump(value);
    switch (kind) {
      case Kind::kBool:
        if (!value.is_boolean()) return false;
        into.emplace_back(value.get<bool>());
        return true;
      case Kind::kText:
        if (!value.is_string()) return false;
        into.emplace_back(value.get<std::string>());
        return true;
      case Kind::kInt: {
        if (!value.is_number_integer()) return false;
        if (value.is_number_unsigned()
                ? value.get<std::uint64_t>() > INT32_MAX
                : value.get<std::int64_t>() < INT32_MIN || value.get<std::int64_t>() > INT32_MAX) {
          return false;
        }
        into.emplace_back(static_cast<std::int32_t>(value.get<std::int64_t>()));
        return true;
      }
      case Kind::kDouble:
      case Kind::kOutDouble:
        if (!value.is_number() || !std::isfinite(value.get<double>())) return false;
        into.emplace_back(value.get<double>());
        return true;
    }
    return false;
  };
  ReadArguments(Members()[index], values, arguments, read);
  return MemberCall(index, std::move(arguments));
}

MemberCallOutcome MemberCall::Run(ClsOrvane& orvane) const {
  const Member& member = Members()[member_];
  Arguments arguments;
  for (std::size_t i = 0; i < arguments_.size(); ++i) {
    const Argument& value = arguments_[i];
    if (const bool* b = std::get_if<bool>(&value)) arguments.bools.push_back(*b);
    if (const std::string* s = std::get_if<std::string>(&value)) arguments.texts.push_back(*s);
    if (const std::int32_t* n = std::get_if<std::int32_t>(&value)) arguments.ints.push_back(*n);
    if (const double* d = std::get_if<double>(&value)) {
      (member.parameters[i].kind == Kind::kDouble ? arguments.doubles : arguments.outs).push_back(*d);
    }
  }

  // Every box of this call is recorded, also when the host's handler shows
  // it, since a failed bill item price is known only by its box.
  std::vector<Message> raised;
  const MessageHandler host = orvane.message_handler();
  orvane.SetMessageHandler([&raised, &host](const std::string& prompt, int style, const std::string& title) {
    raised.push_back(Message{prompt, style, title});
    if (host) host(prompt, style, title);
  });
  struct RestoreHandler {
    ClsOrvane& orvane;
    const MessageHandler& host;
    ~RestoreHandler() { orvane.SetMessageHandler(host); }
  } restore{orvane, host};
  const Result result = member.call(orvane, arguments, raised);

  Json out = Json::object();
  std::size_t next_out = 0;
  for (const auto& p : member.parameters) {
    if (p.kind == Kind::kOutDouble && next_out < arguments.outs.size()) out[p.name] = Tidy(arguments.outs[next_out++]);
  }
  Json messages = Json::array();
  for (const auto& m : raised) messages.push_back(Json{{"prompt", m.prompt}, {"style", m.style}, {"title", m.title}});
  MemberCallOutcome outcome;
  outcome.json = Dump(Json{{"member", member.name}, {"result", result.value}, {"out", out}, {"messages", messages}});
  if (result.failed) {
    if (result.value.is_string()) {
      outcome.failure = result.value.get<std::string>();
    } else {
      outcome.failure = raised.empty() ? std::string(member.name) + " reported a failure" : raised.back().prompt;
    }
  }
  return outcome;
}

}  // namespace quillmere

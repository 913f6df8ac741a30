// quillmere call: one public member of ClsOrvane, called by its exact name
// with positional arguments, its outcome printed as one JSON object.

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands.h"
#include "quillmere/cls_orvane.h"

namespace quillmere::cli {
namespace {

using Json = nlohmann::ordered_json;

enum class Kind { kBool, kText, kInt, kDouble, kOutDouble };

struct Parameter {
  const char* name;
  Kind kind;
  bool optional = false;
};

// The arguments of one call, parsed by kind; out-doubles start at the value
// given and come back in "out".
struct Arguments {
  std::vector<bool> bools;
  std::vector<std::string> texts;
  std::vector<std::int32_t> ints;
  std::vector<double> doubles;
  std::vector<double> outs;
};

struct Outcome {
  Json result;
  bool failed = false;
};

struct Member {
  const char* name;
  std::vector<Parameter> parameters;
  std::function<Outcome(ClsOrvane&, Arguments&)> call;
};

Outcome TextResult(const std::string& text) { return {Json(text), !text.empty()}; }

// The public members in the order of the interface.
const std::vector<Member>& Members() {
  static const std::vector<Member> members = {
      {"ZhengLiGCShuJu", {{"BolQDJJ", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a) { return TextResult(o.ZhengLiGCShuJu(a.bools[0])); }},
      {"JiSuanDEJJ_QB", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.JiSuanDEJJ_QB()); }},
      {"ChongXinJSXXJ_QB", {{"BolQingKongXXJ", Kind::kBool, true}},
       [](ClsOrvane& o, Arguments& a) {
         return TextResult(a.bools.empty() ? o.ChongXinJSXXJ_QB() : o.ChongXinJSXXJ_QB(a.bools[0]));
       }},
      {"HuiZongRCJ", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.HuiZongRCJ()); }},
      {"JiSuanXXJ", {{"BolJSAZ", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a) { return TextResult(o.JiSuanXXJ(a.bools[0])); }},
      {"QingDanCLHZ", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.QingDanCLHZ()); }},
      {"JiSuanZHDJ_QB", {{"StrJJFS", Kind::kText}, {"boljjcx", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a) { return TextResult(o.JiSuanZHDJ_QB(a.texts[0], a.bools[0])); }},
      {"JiSuanGCRCJ", {{"BolQDJJ", Kind::kBool}, {"zgr", Kind::kOutDouble}},
       [](ClsOrvane& o, Arguments& a) { return TextResult(o.JiSuanGCRCJ(a.bools[0], a.outs[0])); }},
      {"JiSuanZDYCS", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.JiSuanZDYCS()); }},
      {"JiSuanCSFB", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.JiSuanCSFB()); }},
      {"JiSuanZLJE", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.JiSuanZLJE()); }},
      {"JiSuanZCBFWF", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.JiSuanZCBFWF()); }},
      {"JiSuanQTXM", {}, [](ClsOrvane& o, Arguments&) { return TextResult(o.JiSuanQTXM()); }},
      {"JiSuanHZB", {{"DblJZMJ", Kind::kDouble}, {"DblGCZJ", Kind::kOutDouble}, {"DblJJZB", Kind::kOutDouble}},
       [](ClsOrvane& o, Arguments& a) { return TextResult(o.JiSuanHZB(a.doubles[0], a.outs[0], a.outs[1])); }},
      {"JiSuanZHDJ", {{"LngYSID", Kind::kInt}, {"boljjcx", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a) {
         const bool ok = o.JiSuanZHDJ(a.ints[0], a.bools[0]);
         return Outcome{Json(ok), !ok};
       }},
      {"JiSuanQDDJ",
       {{"LngQDID", Kind::kInt},
        {"StrDYZM", Kind::kText},
        {"BolBZJ", Kind::kBool},
        {"dblZgj", Kind::kOutDouble},
        {"boljjcx", Kind::kBool}},
       [](ClsOrvane& o, Arguments& a) {
         const double price = o.JiSuanQDDJ(a.ints[0], a.texts[0], a.bools[0], a.outs[0], a.bools[1]);
         // A failure shows its message box; success shows none.
         return Outcome{Json(Tidy(price)), !o.Messages().empty()};
       }},
  };
  return members;
}

bool ParseBool(const std::string& text, bool& value) {
  if (text == "true" || text == "1") return value = true, true;
  if (text == "false" || text == "0") return value = false, true;
  return false;
}

bool ParseInt(const std::string& text, std::int32_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<std::int32_t>(parsed);
  return true;
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

Arguments Parse(const Member& member, const std::vector<std::string>& values) {
  size_t required = 0;
  for (const auto& p : member.parameters) required += p.optional ? 0 : 1;
  if (values.size() < required || values.size() > member.parameters.size()) {
    Fail("wrong number of arguments; usage: " + Signature(member), kUsage);
  }
  Arguments arguments;
  for (size_t i = 0; i < values.size(); ++i) {
    const Parameter& p = member.parameters[i];
    const std::string& text = values[i];
    bool ok = true;
    switch (p.kind) {
      case Kind::kBool: {
        bool b = false;
        ok = ParseBool(text, b);
        arguments.bools.push_back(b);
        break;
      }
      case Kind::kText:
        arguments.texts.push_back(text);
        break;
      case Kind::kInt: {
        std::int32_t n = 0;
        ok = ParseInt(text, n);
        arguments.ints.push_back(n);
        break;
      }
      case Kind::kDouble:
      case Kind::kOutDouble: {
        double d = 0;
        ok = ParseNumberArgument(text, d);
        (p.kind == Kind::kDouble ? arguments.doubles : arguments.outs).push_back(d);
        break;
      }
    }
    if (!ok) Fail(std::string(p.name) + " takes " + KindName(p.kind) + ", not \"" + text + "\"", kUsage);
  }
  return arguments;
}

}  // namespace

void AddCallCommand(CLI::App& app) {
  struct Options {
    std::string path;
    std::string member;
    std::vector<std::string> arguments;
    bool list = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* call = app.add_subcommand("call", "Call one public member of ClsOrvane and print its outcome as JSON");
  call->add_option("DB", options->path, "Project database file");
  call->add_option("MEMBER", options->member, "Member name, exactly as in the interface (case-sensitive)");
  call->add_option("ARG", options->arguments,
                   "Arguments in the member's order: booleans true/false/1/0, a by-reference number takes its "
                   "starting value, an optional argument may be left out");
  call->add_flag("--list", options->list, "List the members and their parameters");
  call->footer("Exit status: 0 success, 1 the member reported a failure, 2 usage error or unusable database.");
  call->callback([options] {
    if (options->list) {
      for (const auto& member : Members()) std::cout << Signature(member) << "\n";
      return;
    }
    if (options->path.empty() || options->member.empty()) Fail("call needs DB and MEMBER (see --help)", kUsage);
    const Member* member = nullptr;
    for (const auto& m : Members()) {
      if (options->member == m.name) member = &m;
    }
    if (member == nullptr) Fail("no member named " + options->member + " (see call --list)", kUsage);
    Arguments arguments = Parse(*member, options->arguments);

    Connection connection = OpenProject(options->path);
    ClsOrvane orvane;
    orvane.CnnData(connection);
    const Outcome outcome = member->call(orvane, arguments);

    Json out = Json::object();
    size_t next_out = 0;
    for (const auto& p : member->parameters) {
      if (p.kind == Kind::kOutDouble && next_out < arguments.outs.size()) out[p.name] = Tidy(arguments.outs[next_out++]);
    }
    Json messages = Json::array();
    for (const auto& m : orvane.Messages()) {
      messages.push_back(Json{{"prompt", m.prompt}, {"style", m.style}, {"title", m.title}});
    }
    const Json report = {{"member", member->name}, {"result", outcome.result}, {"out", out}, {"messages", messages}};
    std::cout << report.dump() << "\n";
    if (outcome.failed) throw CLI::RuntimeError(kFailure);
  });
}

}  // namespace quillmere::cli

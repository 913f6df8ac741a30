// The JSON conventions between the engine and hosts outside C++: what they
// hand in (member arguments, pipeline options) is read with a message a host
// can show, and what they get back (a member call, a pipeline run) carries
// numbers as people read them and never fails on text that is no UTF-8.

#ifndef QUILLMERE_COMPONENT_HOST_JSON_H_
#define QUILLMERE_COMPONENT_HOST_JSON_H_

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "quillmere/member_call.h"

namespace quillmere {

using Json = nlohmann::ordered_json;

// At most 15 significant digits, so a sum of amounts in cents reads 28449.47
// rather than 28449.469999999998.
inline double Tidy(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return std::strtod(text, nullptr);
}

// A project's texts come from its database and may hold any bytes; a report
// must still come out, with U+FFFD in place of a broken sequence.
inline std::string Dump(const Json& json, int indent = -1) {
  return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// Parses `text`; malformed JSON is a MisuseError naming `what` ("the
// arguments") and where the text went wrong.
inline Json ParseHostJson(std::string_view text, const std::string& what) {
  try {
    return Json::parse(text);
  } catch (const Json::parse_error& e) {
    // nlohmann's text starts with its own exception id, of no use to a host.
    std::string reason = e.what();
    if (const auto end = reason.find("] "); end != std::string::npos) reason.erase(0, end + 2);
    throw MisuseError(what + " are no valid JSON: " + reason);
  }
}

}  // namespace quillmere

#endif  // QUILLMERE_COMPONENT_HOST_JSON_H_

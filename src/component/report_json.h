// The JSON conventions of what the engine reports to hosts outside C++ (a
// member call, a pipeline run): numbers as people read them, and text that
// is no valid UTF-8 repaired rather than refused.

#ifndef QUILLMERE_COMPONENT_REPORT_JSON_H_
#define QUILLMERE_COMPONENT_REPORT_JSON_H_

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

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

}  // namespace quillmere

#endif  // QUILLMERE_COMPONENT_REPORT_JSON_H_

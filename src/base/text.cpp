// Text helpers: see text.h.

#include "base/text.h"

namespace quillmere {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool ReplaceAll(std::string& text, std::string_view what, std::string_view with, std::size_t limit) {
  std::size_t at = text.find(what);
  if (what.empty() || at == std::string::npos) return true;
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  while (at != std::string::npos) {
    out.append(text, from, at - from);
    out.append(with);
    if (out.size() > limit) return false;
    from = at + what.size();
    at = text.find(what, from);
  }
  out.append(text, from, std::string::npos);
  if (out.size() > limit) return false;
  text.swap(out);
  return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) c = Lower(c);
  return text;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = Upper(c);
  return text;
}

}  // namespace quillmere

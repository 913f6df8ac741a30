// Text helpers shared by the formula engine, the statements built from fee
// formulas and the database layer: replacement and the ASCII case rules of
// names (column names, function names, fee codes).

#ifndef QUILLMERE_BASE_TEXT_H_
#define QUILLMERE_BASE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmere {

// Replaces every occurrence of `what` (non-empty) in `text`, scanning from the
// first character; a replacement is never searched again. Returns false,
// leaving `text` as it was, when the result would grow beyond `limit` bytes.
bool ReplaceAll(std::string& text, std::string_view what, std::string_view with,
                std::size_t limit = std::string::npos);

// True when a and b are equal but for the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// `text` with its ASCII letters in lower / upper case; other bytes (Chinese
// names among them) unchanged.
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);

}  // namespace quillmere

#endif  // QUILLMERE_BASE_TEXT_H_

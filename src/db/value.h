// Conversions of field values as the row loops need them: a number where a
// number is needed (a null or a word is an error that ends the member), the
// text a value reads as, and the yes/no test of a boolean column.

#ifndef QUILLMERE_DB_VALUE_H_
#define QUILLMERE_DB_VALUE_H_

#include <string>

#include "quillmere/connection.h"

namespace quillmere {

// The value as a number; a numeric text counts as its number. Throws Error
// "Invalid use of Null" for a null and "Type mismatch" for any other text.
double ToNumber(const Value& value);

// The value as a row id. A real id is truncated, as the row loops have always
// read it; one beyond the 64-bit range throws "Overflow" instead of turning
// into another row's id.
std::int64_t ToId(const Value& value);

// The value as text: numbers in plain decimal form. Throws for a null.
std::string ToText(const Value& value);

// The value joined to an empty text: a null becomes the empty text.
std::string TextOrEmpty(const Value& value);

// Whether two values are the same as SQL's IS says: both null, equal numbers
// (an integer and a real compare by value), or equal texts.
bool SameValue(const Value& a, const Value& b);

// True only for a value that is true: a null or a zero is not.
bool IsTrue(const Value& value);

}  // namespace quillmere

#endif  // QUILLMERE_DB_VALUE_H_

#pragma once
// The 100-byte header that opens every table file: up to four 10-character
// decimal count fields, then 60 bytes that nothing reads.

#include <cstdint>
#include <string>

namespace drg {

inline constexpr int kCountFieldWidth = 10;

// Reads one count field the way a C decimal conversion reads a string:
// a NUL ends the field early, leading white space is skipped, an optional
// sign follows, then digits up to the first non-digit; no digits give 0.
int64_t parseCountField(const char* field);

// How the field reads when that is not plain to see, "" otherwise: for a
// field that is not blanks around one decimal number, or whose number the
// count does not hold as written (cut to 16 bits), its bytes and the value
// held, as in "'9999999999' read as 58367". Messages about a count add it,
// so that they name what the file holds, not only what was made of it.
std::string countFieldReading(const char* field, int64_t held);

// Writes a count left-aligned and blank-padded into a 10-character field.
void formatCountField(int64_t value, char* field);

}  // namespace drg

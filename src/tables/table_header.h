#pragma once
// The 100-byte header that opens every table file: up to four 10-character
// decimal count fields, then 60 bytes that nothing reads.

#include <cstdint>

namespace drg {

inline constexpr int kCountFieldWidth = 10;

// Reads one count field the way a C decimal conversion reads a string:
// a NUL ends the field early, leading white space is skipped, an optional
// sign follows, then digits up to the first non-digit; no digits give 0.
int64_t parseCountField(const char* field);

// Writes a count left-aligned and blank-padded into a 10-character field.
void formatCountField(int64_t value, char* field);

}  // namespace drg

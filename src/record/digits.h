#pragma once
// Digit fields of a record: reading and writing fixed-width numbers.

#include <cstdint>

namespace drg {

// Reads n characters: blanks are skipped wherever they stand, digits build
// the value, any other character gives -1 at once. No sign, no overflow check.
int32_t parseDigits(const char* text, int n);

// Writes value (0 or more) as exactly n digits, zero-padded, higher digits dropped.
void writeDigits(int32_t value, char* text, int n);

}  // namespace drg

#pragma once
// Digit fields of a record: reading and writing fixed-width numbers.

#include <cstdint>

namespace drg {

// Reads n characters: blanks are skipped wherever they stand, digits build
// the value, any other character gives -1 at once. No sign, no overflow check.
// Inline: every caller reads a field of fixed width, which the compiler then unrolls.
inline int32_t parseDigits(const char* text, int n) {
    int32_t value = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == ' ') continue;
        if (c < '0' || c > '9') return -1;
        value = static_cast<int32_t>(static_cast<uint32_t>(value) * 10u + static_cast<uint32_t>(c - '0'));
    }
    return value;
}

// Writes value (0 or more) as exactly n digits, zero-padded, higher digits dropped.
void writeDigits(int32_t value, char* text, int n);

}  // namespace drg

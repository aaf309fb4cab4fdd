#pragma once
// Digit fields of a record and the patient's age.

#include <cstdint>

namespace drg {

// Reads n characters: blanks are skipped wherever they stand, digits build
// the value, any other character gives -1 at once. No sign, no overflow check.
int32_t parseDigits(const char* text, int n);

// Writes value (0 or more) as exactly n digits, zero-padded, higher digits dropped.
void writeDigits(int32_t value, char* text, int n);

struct Age {
    int32_t years;
    int32_t days;
};

// Age in whole years and in days at the effective date, from the 6-character
// birth date YYMMDD, the 8-character effective date YYYYMMDD and the
// century-and-sex character that chooses the birth century.
Age computeAge(const char* birthDate, const char* effectiveDate, char centurySexDigit);

}  // namespace drg

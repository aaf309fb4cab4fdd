#pragma once
// The patient's age at the effective date, from the birth date and the
// century-and-sex character of the record.

#include <cstdint>

namespace drg {

struct Age {
    int32_t years;
    int32_t days;
};

// Age in whole years and in days at the effective date, from the 6-character
// birth date YYMMDD, the 8-character effective date YYYYMMDD and the
// century-and-sex character that chooses the birth century.
Age computeAge(const char* birthDate, const char* effectiveDate, char centurySexDigit);

}  // namespace drg

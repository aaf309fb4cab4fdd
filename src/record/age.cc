#include "record/age.h"

#include <cstring>

#include "record/digits.h"

namespace drg {
namespace {

constexpr int kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

bool leapYear(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Day of the year with February counted as 28 days and the leap day added
// only after February of a leap year.
int32_t dayOfYear(int32_t month, int32_t day, int32_t year) {
    return kDaysBeforeMonth[month] + day + ((month > 2 && leapYear(year)) ? 1 : 0);
}

}  // namespace

Age computeAge(const char* birthDate, const char* effectiveDate, char c) {
    char b[6];
    std::memcpy(b, birthDate, 6);
    const bool unknownDayAllowed = c >= '5' && c <= '8';
    if (unknownDayAllowed && std::memcmp(b + 2, "0000", 4) == 0) std::memcpy(b + 2, "0101", 4);

    const int32_t bm = parseDigits(b + 2, 2);
    if (bm < 1 || bm > 12) return {-1, 0};

    const int32_t yy = parseDigits(b, 2);
    int32_t by;
    if (c == '0' || c == '9') {
        by = 1800 + yy;
    } else if (c == '3' || c == '4') {
        by = 2000 + yy;
    } else if (unknownDayAllowed) {
        // Two-digit years later than the effective year's belong to the last century.
        by = std::strncmp(b, effectiveDate + 2, 2) > 0 ? 1900 + yy : 2000 + yy;
        if (std::strncmp(effectiveDate, "19", 2) == 0) by = 1900 + yy;
    } else {
        by = 1900 + yy;  // '1', '2' and anything else
    }

    const int32_t bd = parseDigits(b + 4, 2);
    const int32_t ry = parseDigits(effectiveDate, 4);
    const int32_t rm = parseDigits(effectiveDate + 4, 2);
    const int32_t rd = parseDigits(effectiveDate + 6, 2);

    int32_t days = 0;
    if (rm >= 1 && rm <= 12 && bd >= 0 && bd <= 31 && rd >= 1 && rd <= 31) {
        if (by == ry) {
            if (bm == rm)
                days = rd - bd;
            else
                days = dayOfYear(rm, rd, ry) - dayOfYear(bm, bd, by);
        } else {
            // The d / 4 term stands in for the leap days of the years between;
            // it is this count, not a calendar count.
            const int32_t d = ry - by;
            const int32_t restOfBirthYear = 365 - kDaysBeforeMonth[bm] - bd + ((bm < 3 && leapYear(by)) ? 1 : 0);
            days = 365 * d + d / 4 + dayOfYear(rm, rd, ry) + restOfBirthYear - 365;
        }
    }

    int32_t years = ry - by;
    if (rm < bm || (rm == bm && rd < bd)) --years;
    return {years, days};
}

}  // namespace drg

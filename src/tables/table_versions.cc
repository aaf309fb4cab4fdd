#include "tables/table_versions.h"

#include <cstdio>
#include <cstring>

#include "tables/code_lookup.h"
#include "tables/table_lookups.h"

namespace drg {
namespace {

// The calendar day before a YYYYMMDD date, as YYYYMMDD.
std::string dayBefore(const char* date) {
    int y = 0, m = 0, d = 0;
    std::sscanf(date, "%4d%2d%2d", &y, &m, &d);
    if (--d == 0) {
        if (--m == 0) {
            m = 12;
            --y;
        }
        static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        d = kMonthDays[m - 1] + (m == 2 && leap ? 1 : 0);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
    return text;
}

}  // namespace

uint64_t dateTextKey(const char* effectiveDate) {
    uint64_t word;
    std::memcpy(&word, effectiveDate, 8);
    // Any NUL byte? Then the bytes after it count as NUL.
    if (((word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull) != 0) return textKey(effectiveDate, 8);
    return __builtin_bswap64(word);
}

int versionForDate(const char* effectiveDate, std::span<const char* const> cutDates) {
    int version = 0;
    for (const char* cut : cutDates) {
        if (boundedCompare(effectiveDate, cut, 8) < 0) return version;
        ++version;
    }
    return version;
}

std::string versionPeriod(std::span<const char* const> cutDates, int version) {
    const size_t v = static_cast<size_t>(version);
    if (v == 0) return std::string("before ") + cutDates[0];
    if (v >= cutDates.size()) return std::string("from ") + cutDates.back();
    return std::string(cutDates[v - 1]) + " to " + dayBefore(cutDates[v]);
}

}  // namespace drg

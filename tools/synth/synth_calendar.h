#pragma once
// Calendar days for the made-up records and table dates: dates as day
// numbers so that ages and date ranges are plain subtraction.

#include <cstdint>

namespace drg::synth {

struct CivilDate {
    int32_t year;
    int32_t month;
    int32_t day;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int32_t dayNumber(CivilDate date);
CivilDate civilDate(int32_t dayNumber);

// YYYYMMDD as the tables store it.
constexpr int32_t dateValue(CivilDate d) { return d.year * 10000 + d.month * 100 + d.day; }
constexpr CivilDate fromDateValue(int32_t yyyymmdd) { return {yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100}; }

// The day before a YYYYMMDD date, as YYYYMMDD.
int32_t dayBefore(int32_t yyyymmdd);

}  // namespace drg::synth

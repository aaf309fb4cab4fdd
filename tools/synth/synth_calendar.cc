#include "synth/synth_calendar.h"

namespace drg::synth {

// The usual era arithmetic: 400-year eras of 146097 days, March-based years
// so that the leap day falls at the end.
int32_t dayNumber(CivilDate date) {
    const int32_t y = date.year - (date.month <= 2 ? 1 : 0);
    const int32_t era = (y >= 0 ? y : y - 399) / 400;
    const int32_t yearOfEra = y - era * 400;
    const int32_t dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilDate(int32_t days) {
    days += 719468;
    const int32_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int32_t dayOfEra = days - era * 146097;
    const int32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int32_t mp = (5 * dayOfYear + 2) / 153;
    const int32_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int32_t month = mp < 10 ? mp + 3 : mp - 9;
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int32_t dayBefore(int32_t yyyymmdd) { return dateValue(civilDate(dayNumber(fromDateValue(yyyymmdd)) - 1)); }

}  // namespace drg::synth

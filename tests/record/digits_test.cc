// parseDigits, writeDigits and computeAge, on worked examples with
// exact numbers.
#include <gtest/gtest.h>

#include <string>

#include "record/age.h"
#include "record/digits.h"

namespace drg {
namespace {

struct ParseCase {
    std::string text;
    int width;
    int32_t expected;
};

class ParseDigits : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseDigits, ReadsExactlyTheFieldWidth) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(parseDigits(c.text.data(), c.width), c.expected) << "text \"" << c.text << "\" width " << c.width;
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ParseDigits,
    ::testing::Values(
        ParseCase{"  7", 3, 7}, ParseCase{"007", 3, 7}, ParseCase{"   ", 3, 0}, ParseCase{"7A ", 3, -1},
        ParseCase{"-7", 2, -1},
        // Blanks anywhere are skipped.
        ParseCase{"7  ", 3, 7}, ParseCase{" 7 ", 3, 7}, ParseCase{"1 2", 3, 12}, ParseCase{"  2", 3, 2},
        ParseCase{"2  ", 3, 2}, ParseCase{"002", 3, 2}, ParseCase{"0-2", 3, -1},
        // Width 0 reads nothing; only the first n characters count.
        ParseCase{"", 0, 0}, ParseCase{"X", 0, 0}, ParseCase{"12X", 2, 12}, ParseCase{"1234", 1, 1},
        // No sign, no point, no other white space.
        ParseCase{"+1", 2, -1}, ParseCase{"1.", 2, -1}, ParseCase{"1\t", 2, -1}, ParseCase{"1\n", 2, -1},
        ParseCase{"\r1", 2, -1}, ParseCase{std::string("1\0" "2", 3), 3, -1}, ParseCase{"a", 1, -1},
        ParseCase{"\xB2", 1, -1},  // a byte above 127 is no digit either
        // The widest field of the system.
        ParseCase{"99999999", 8, 99999999}, ParseCase{"20130201", 8, 20130201}, ParseCase{"00000000", 8, 0},
        ParseCase{"40000", 5, 40000}, ParseCase{"        ", 8, 0}, ParseCase{"2012 315", 8, 2012315}));

TEST(ParseDigits, StopsAtTheFirstBadCharacterWithoutReadingFurther) {
    // The first character is not a digit: the rest is never looked at, so a
    // text shorter than the width is fine as long as it fails early.
    const char text[] = {'X'};
    EXPECT_EQ(parseDigits(text, 8), -1);
}

struct WriteCase {
    int32_t value;
    int width;
    std::string expected;
};

class WriteDigits : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteDigits, WritesExactlyWidthDigitsAndNothingElse) {
    const WriteCase& c = GetParam();
    std::string buffer(12, '#');
    writeDigits(c.value, buffer.data() + 1, c.width);
    EXPECT_EQ(buffer, "#" + c.expected + std::string(11 - c.expected.size(), '#')) << c.value;
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, WriteDigits,
                         ::testing::Values(WriteCase{20130201, 8, "20130201"}, WriteCase{5, 3, "005"},
                                           WriteCase{1234, 3, "234"}, WriteCase{0, 4, "0000"},
                                           WriteCase{7, 1, "7"}, WriteCase{99, 0, ""}, WriteCase{123, 2, "23"},
                                           WriteCase{2147483647, 10, "2147483647"},
                                           WriteCase{1000000000, 9, "000000000"}));

TEST(WriteDigits, RoundTripsThroughParseDigits) {
    for (int32_t v : {0, 1, 9, 10, 305, 4711, 99999, 20130201, 99999999}) {
        char text[8];
        writeDigits(v, text, 8);
        EXPECT_EQ(parseDigits(text, 8), v);
    }
}

struct AgeCase {
    const char* name;
    std::string birthDate;  // YYMMDD
    std::string effectiveDate;  // YYYYMMDD
    char c;
    int32_t years;
    int32_t days;
};

class ComputeAge : public ::testing::TestWithParam<AgeCase> {};

TEST_P(ComputeAge, GivesYearsAndDays) {
    const AgeCase& a = GetParam();
    ASSERT_EQ(a.birthDate.size(), 6u);
    ASSERT_EQ(a.effectiveDate.size(), 8u);
    const std::string birthBefore = a.birthDate;
    const Age age = computeAge(a.birthDate.data(), a.effectiveDate.data(), a.c);
    EXPECT_EQ(age.years, a.years) << a.name;
    EXPECT_EQ(age.days, a.days) << a.name;
    EXPECT_EQ(a.birthDate, birthBefore) << "the record is never changed";
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ComputeAge,
    ::testing::Values(
        // Worked examples: leap days, year ends, centuries, unknown birth days.
        AgeCase{"same year, leap year after February", "120210", "20120315", '3', 0, 34},
        AgeCase{"one year apart", "111231", "20120101", '3', 0, 1},
        AgeCase{"four years: one more than the calendar", "000101", "20041231", '3', 4, 1827},
        AgeCase{"birthday tomorrow", "500615", "20120614", '1', 61, 22645},
        AgeCase{"birthday today", "500615", "20120615", '1', 62, 22646},
        AgeCase{"century 9 is the 1800s", "990101", "20120101", '9', 113, 41273},
        AgeCase{"century 0 is the 1800s", "990101", "20120101", '0', 113, 41273},
        AgeCase{"unknown month and day, year 05 not after 12", "050000", "20120101", '7', 7, 2556},
        AgeCase{"unknown month and day, year 95 after 12", "950000", "20120101", '7', 17, 6209},
        // Century digits.
        AgeCase{"century 2", "500615", "20120615", '2', 62, 22646},
        AgeCase{"century 3", "050615", "20120615", '3', 7, 2557},
        AgeCase{"century 4", "050615", "20120615", '4', 7, 2557},
        AgeCase{"blank century digit: 1900s", "050615", "20120615", ' ', 107, 39082},
        AgeCase{"letter century digit: 1900s", "050615", "20120615", 'X', 107, 39082},
        AgeCase{"century 5: year 12 is not after 12", "120101", "20120201", '5', 0, 31},
        AgeCase{"century 6: year 13 is after 12", "130101", "20120101", '6', 99, 36159},
        AgeCase{"century 8: known month and day are kept", "050615", "20120615", '8', 7, 2557},
        AgeCase{"century 5 in 1999: always 1900s", "000101", "19990601", '5', 99, 36310},
        AgeCase{"century 5 in 1999, later year digits", "980101", "19990101", '5', 1, 365},
        // Unknown month and day only for 5 to 8, and only when both are 00.
        AgeCase{"month 00 with century 1", "050000", "20120101", '1', -1, 0},
        AgeCase{"month 00, day 15, century 5", "050015", "20120101", '5', -1, 0},
        AgeCase{"month 13", "051301", "20120101", '3', -1, 0},
        AgeCase{"month not numeric", "05AB01", "20120101", '3', -1, 0},
        AgeCase{"month with a blank reads as a digit", "05 101", "20120101", '3', 7, 2556},
        // Same year.
        AgeCase{"same day", "120615", "20120615", '3', 0, 0},
        AgeCase{"same month, later day", "120610", "20120615", '3', 0, 5},
        AgeCase{"born after the record, same month", "120620", "20120615", '3', -1, -5},
        AgeCase{"born after the record, other month", "120415", "20120315", '3', -1, -31},
        AgeCase{"same year, both after February of a leap year", "120310", "20120415", '3', 0, 36},
        AgeCase{"same year, not a leap year", "130210", "20130315", '3', 0, 33},
        AgeCase{"birth day 00 is accepted", "120100", "20120105", '3', 0, 5},
        // Different years.
        AgeCase{"born in January of a leap year", "120210", "20130210", '3', 1, 366},
        AgeCase{"two years: the leap day between is not counted", "110301", "20130301", '3', 2, 730},
        AgeCase{"three years", "110101", "20140101", '3', 3, 1095},
        AgeCase{"eight years", "040101", "20120101", '3', 8, 2923},
        AgeCase{"age goes down only when the birthday is still ahead", "120316", "20130315", '3', 0, 364},
        // Invalid record or birth day: days 0, years still computed.
        AgeCase{"record month 00", "500615", "20120015", '1', 61, 0},
        AgeCase{"record month 13", "500615", "20121315", '1', 62, 0},
        AgeCase{"record day 00", "500615", "20120600", '1', 61, 0},
        AgeCase{"record day 32", "500615", "20120632", '1', 62, 0},
        AgeCase{"birth day 32", "120132", "20120201", '3', 0, 0},
        AgeCase{"birth day 32, birthday never reached", "120132", "20130101", '3', 0, 0},
        AgeCase{"record month not numeric", "500615", "2012XX15", '1', 61, 0},
        // Year digits that are not numeric read as -1.
        AgeCase{"birth year not numeric", "AB0101", "20120101", '1', 113, 41273},
        AgeCase{"record year not numeric", "500101", "ABCD0101", '1', -1951, -712602},
        AgeCase{"blank record date", "500101", "        ", '1', -1951, 0}));

// A reference of the day-count formula, written out independently, to check a
// grid of dates; the named cases above pin down its exact numbers.
int32_t referenceDays(int by, int bm, int bd, int ry, int rm, int rd) {
    static const int cum[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    auto doy = [&](int y, int m, int d) { return cum[m] + d + ((m > 2 && leap(y)) ? 1 : 0); };
    if (by == ry) {
        if (bm == rm) return rd - bd;
        return doy(ry, rm, rd) - doy(by, bm, bd);
    }
    const int d = ry - by;
    return 365 * d + d / 4 + doy(ry, rm, rd) + (365 - cum[bm] - bd + ((bm < 3 && leap(by)) ? 1 : 0)) - 365;
}

TEST(ComputeAge, FollowsTheFormulaOverAGridOfDates) {
    char birth[16], effective[16];
    for (int by = 1996; by <= 2012; by += 4)
        for (int ry : {2000, 2001, 2012})
            for (int bm = 1; bm <= 12; bm += 1)
                for (int rm = 1; rm <= 12; rm += 1)
                    for (int bd : {1, 28, 29, 31})
                        for (int rd : {1, 29}) {
                            std::snprintf(birth, sizeof birth, "%02d%02d%02d", by % 100, bm, bd);
                            std::snprintf(effective, sizeof effective, "%04d%02d%02d", ry, rm, rd);
                            const Age age = computeAge(birth, effective, '1' + 2 * (by >= 2000));
                            int years = ry - by;
                            if (rm < bm || (rm == bm && rd < bd)) --years;
                            ASSERT_EQ(age.years, years) << birth << " " << effective;
                            ASSERT_EQ(age.days, referenceDays(by, bm, bd, ry, rm, rd)) << birth << " " << effective;
                        }
}

}  // namespace
}  // namespace drg

// Record preparation: numeric fields, resets, code ids, repeated diagnoses
// and the dagger/asterisk exchange of the first two diagnoses.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "conditions/prepare_record.h"
#include "engine/release.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

// ---------------------------------------------------------------- numbers

struct NumericCase {
    const char* name;
    RecordField field;
    std::string text;
    int expected;
};

int16_t numericMember(const ClaimState& s, RecordField field) {
    if (field.offset == kStayDaysText.offset) return s.stayDays;
    if (field.offset == kStatusDigit.offset) return s.statusCode;
    if (field.offset == kBirthWeightText.offset) return s.birthWeight;
    return s.ventilationHours;
}

TEST(PrepareRecord, ReadsDigitFieldsIntoSixteenBits) {
    const std::vector<NumericCase> cases = {
        {"stay two leading blanks", kStayDaysText, "  2", 2},
        {"stay two trailing blanks", kStayDaysText, "2  ", 2},
        {"stay zero padded", kStayDaysText, "002", 2},
        {"stay with minus", kStayDaysText, "0-2", -1},
        {"stay blank", kStayDaysText, "   ", 0},
        {"status digit", kStatusDigit, "4", 4},
        {"status letter", kStatusDigit, "x", -1},
        {"weight blank", kBirthWeightText, "     ", 0},
        {"weight leading blanks", kBirthWeightText, "  800", 800},
        {"weight inner blanks", kBirthWeightText, "8 00 ", 800},
        {"weight letter", kBirthWeightText, "8a00 ", -1},
        {"weight 32767", kBirthWeightText, "32767", 32767},
        {"weight 32768 wraps", kBirthWeightText, "32768", -32768},
        {"weight 40000 wraps", kBirthWeightText, "40000", -25536},
        {"weight 65536 wraps to 0", kBirthWeightText, "65536", 0},
        {"ventilation 99999 wraps", kVentilationHoursText, "99999", 99999 - 131072},
        {"ventilation 96", kVentilationHoursText, "   96", 96},
        {"ventilation point", kVentilationHoursText, "9.6  ", -1},
    };
    LoadedRelease release{TableBuilder()};
    for (const auto& c : cases) {
        std::string line = datedRecord().set(c.field, c.text).text();
        ASSERT_EQ(release.prepare(line), kPrepareOk) << c.name;
        EXPECT_EQ(numericMember(release.state, c.field), c.expected) << c.name;
    }
}

TEST(PrepareRecord, ReadsDateSexAndAge) {
    LoadedRelease release{TableBuilder()};
    ClaimState& s = release.state;

    std::string line = datedRecord("20120614").sex('1').text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(s.effectiveDateNumber, 20120614);
    EXPECT_EQ(s.sexDigit, 1);
    EXPECT_EQ(s.ageYears, 61);

    line = datedRecord().sex('4').text();
    release.prepare(line);
    EXPECT_EQ(s.sexDigit, 4);

    // A blank century digit reads as the blank's code minus 48, and the age
    // takes the birth year in the 1900s.
    line = datedRecord().sex(' ').text();
    release.prepare(line);
    EXPECT_EQ(s.sexDigit, -16);
    EXPECT_EQ(s.ageYears, 62);

    line = datedRecord("2012a615").text();
    release.prepare(line);
    EXPECT_EQ(s.effectiveDateNumber, -1);

    // An invalid birth month gives age -1 whatever the record before gave.
    line = datedRecord().birthDate("501315").text();
    release.prepare(line);
    EXPECT_EQ(s.ageYears, -1);
    EXPECT_EQ(s.ageDays, 0);
}

TEST(PrepareRecord, ResetsTheResultsOfTheRecordBefore) {
    LoadedRelease release{TableBuilder()};
    ClaimState& s = release.state;
    s.mdcIndex = 3;
    s.adrgIndex = 7;
    s.refinedAdrgIndex = 9;
    s.adrgSuffix = 'B';
    s.pccl = 4;
    s.cclBySlot.fill(2);
    s.finalGroupCode = {'B', '0', '1', '0', 'A', 'Z'};
    s.codeIds.fill(5);

    std::string line = datedRecord().text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(s.mdcIndex, 0);
    EXPECT_EQ(s.adrgIndex, 0);
    EXPECT_EQ(s.refinedAdrgIndex, 0);
    EXPECT_EQ(s.adrgSuffix, '0');
    EXPECT_EQ(s.pccl, 0);
    for (int16_t level : s.cclBySlot) EXPECT_EQ(level, 0);
    for (char c : s.finalGroupCode) EXPECT_EQ(c, '\0');
    for (int16_t id : s.codeIds) EXPECT_EQ(id, 0);
    EXPECT_EQ(s.conditions.flag[0], 1);
    EXPECT_EQ(s.conditions.flag[s.conditions.conditionCount], 0);
}

// ---------------------------------------------------------------- codes

TEST(PrepareRecord, UpperCasesTheLineAndFindsLowerCaseCodes) {
    TableBuilder b;
    const int16_t g40 = b.diagnosis("G40.0");
    const int16_t proc = b.procedure("5-01A");
    LoadedRelease release{b};

    std::string line = datedRecord().diagnoses({"g40.0"}).procedures({"5-01a"}).text() + "tail, é\r\n";
    const std::string expected = datedRecord().diagnoses({"G40.0"}).procedures({"5-01A"}).text() + "TAIL, é\r\n";
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(release.state.codeIds[1], g40);
    EXPECT_EQ(release.state.codeIds[11], proc);
    EXPECT_EQ(line, expected);
}

TEST(PrepareRecord, LooksUpDiagnosesAndProceduresInTheirOwnIndex) {
    TableBuilder b;
    const int16_t dx = b.diagnosis("A10");
    b.diagnosis("B20");
    const int16_t px = b.procedure("A10");
    const int16_t last = b.procedure("9-99");
    LoadedRelease release{b};

    // The same text is a diagnosis in slot 10 and a procedure in slot 11;
    // birth weight digits right after slot 46 are never a code.
    std::string line = datedRecord().slot(10, "A10").slot(11, "A10").slot(46, "9-99").slot(3, "Z99").text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    const auto& ids = release.state.codeIds;
    EXPECT_EQ(ids[10], dx);
    EXPECT_EQ(ids[11], px);
    EXPECT_EQ(ids[46], last);
    EXPECT_EQ(ids[3], 0);  // unknown
}

TEST(PrepareRecord, KeepsTheFirstOfRepeatedDiagnosesOnly) {
    TableBuilder b;
    const int16_t a = b.diagnosis("A10");
    const int16_t bb = b.diagnosis("B20");
    const int16_t p = b.procedure("5-01");
    LoadedRelease release{b};

    std::string line = datedRecord().diagnoses({"A10", "B20", "A10", "", "B20", "Z99", "A10", "B20", "Z99", "A10"})
                           .procedures({"5-01", "5-01"})
                           .text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    const std::vector<int16_t> diagnoses(release.state.codeIds.begin() + 1, release.state.codeIds.begin() + 11);
    EXPECT_EQ(diagnoses, (std::vector<int16_t>{a, bb, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(release.state.codeIds[11], p);
    EXPECT_EQ(release.state.codeIds[12], p);

    // A repeat of a later diagnosis, with the first slot unknown.
    line = datedRecord().diagnoses({"Z99", "B20", "A10", "B20"}).text();
    release.prepare(line);
    const std::vector<int16_t> again(release.state.codeIds.begin() + 1, release.state.codeIds.begin() + 5);
    EXPECT_EQ(again, (std::vector<int16_t>{0, bb, a, 0}));
}

// ------------------------------------------------- dagger and asterisk

struct ExchangeCase {
    const char* name;
    std::vector<std::string> diagnoses;
    std::string date;
    std::string slot1, slot2;  // codes whose ids end up in slots 1 and 2
};

TEST(PrepareRecord, ExchangesPrincipalWithItsDatedPartner) {
    TableBuilder b;
    std::map<std::string, int16_t> id = {{"", 0}, {"X00", 0}};
    for (const char* code : {"A17.0", "G01", "G02", "G03"}) id[code] = b.diagnosis(code);
    // The first pair of A17.0 is for another partner, the second ran out,
    // the third applies from 2010-01-01 to 2012-06-30.
    b.daggerPair("A17.0", "G02", {20000101, 20991231});
    b.daggerPair("A17.0", "G01", {20000101, 20091231});
    b.daggerPair("A17.0", "G01", {20100101, 20120630});
    // G03 has A17.0 as its partner, not the other way round.
    b.daggerPair("G03", "A17.0");
    LoadedRelease release{b};

    const std::vector<ExchangeCase> cases = {
        {"within validity", {"A17.0", "G01"}, "20120315", "G01", "A17.0"},
        {"first valid day", {"A17.0", "G01"}, "20100101", "G01", "A17.0"},
        {"last valid day", {"A17.0", "G01"}, "20120630", "G01", "A17.0"},
        {"day after the last", {"A17.0", "G01"}, "20120701", "A17.0", "G01"},
        {"only the earlier pair", {"A17.0", "G01"}, "20091231", "G01", "A17.0"},
        {"before every pair", {"A17.0", "G01"}, "19991231", "A17.0", "G01"},
        {"lower-case codes", {"a17.0", "g01"}, "20120315", "G01", "A17.0"},
        {"other partner", {"A17.0", "G02"}, "20120315", "G02", "A17.0"},
        {"slot 2 blank", {"A17.0", "", "G01"}, "20120315", "A17.0", ""},
        {"slot 2 unknown", {"A17.0", "X00", "G01"}, "20120315", "A17.0", "X00"},
        {"partner in slot 1", {"G01", "A17.0"}, "20120315", "G01", "A17.0"},
        {"pair of the partner", {"G03", "A17.0"}, "20120315", "A17.0", "G03"},
        {"letter in date", {"A17.0", "G01"}, "2012031x", "A17.0", "G01"},
        {"principal unknown", {"X00", "G01"}, "20120315", "X00", "G01"},
        {"principal blank", {"", "G01"}, "20120315", "", "G01"},
    };
    for (const auto& c : cases) {
        std::string line = datedRecord(c.date).diagnoses(c.diagnoses).text();
        const std::string before = line.substr(33, 12);
        ASSERT_EQ(release.prepare(line), kPrepareOk) << c.name;
        EXPECT_EQ(release.state.codeIds[1], id.at(c.slot1)) << c.name;
        EXPECT_EQ(release.state.codeIds[2], id.at(c.slot2)) << c.name;
        // Only the ids move; the texts stay where they were.
        std::string upper = before;
        upperCase(upper.data(), upper.size());
        EXPECT_EQ(line.substr(33, 12), upper) << c.name;
    }
}

// A release may give pairs to id 0, the id of a blank principal: its partner
// in slot 2 then moves to slot 1 and raises what a principal raises there.
TEST(PrepareRecord, BlankPrincipalWithPairsOfIdZeroTakesItsPartner) {
    TableBuilder b;
    b.daggerPair("A17.0", "G01");
    const int16_t partner = b.diagnosis("G01");
    constexpr int kPrincipalOnly = 40;
    b.conditionSlots(kPrincipalOnly, 1, 1);
    b.diagnosisCondition("G01", kPrincipalOnly);
    LoadedRelease release{b};
    DaggerAsteriskTable& pairs = release.tables.daggerAsterisk;
    const size_t a17 = static_cast<size_t>(b.diagnosis("A17.0"));
    pairs.pairBegin[0] = pairs.pairBegin[a17];
    pairs.pairEnd[0] = pairs.pairEnd[a17];
    prepareRelease(release.release);

    for (const bool paired : {true, false}) {
        if (!paired) {
            pairs.pairEnd[0] = pairs.pairBegin[0];
            prepareRelease(release.release);
        }
        std::string line = datedRecord("20120315").diagnoses({"", "G01"}).text();
        ASSERT_EQ(release.prepare(line), kPrepareOk);
        EXPECT_EQ(release.state.codeIds[1], paired ? partner : 0) << paired;
        EXPECT_EQ(release.state.codeIds[2], paired ? 0 : partner) << paired;
        EXPECT_EQ(release.state.conditions.flag[kPrincipalOnly], paired ? 1 : 0) << paired;
    }
}

}  // namespace
}  // namespace drg::testing

// Levels, exclusions, PCCL and the final code of whole records: dated level
// rows, the ADRG column of the level matrix, negative levels, the
// sex-specific rule and the split character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "complexity/complication_levels.h"
#include "engine/release.h"
#include "support/grouping_fixture.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

// Principal "P0n" (condition 30n) leads to ADRG B0n0 (n = 1..4), refined by
// one row for all ages to "B0n0A". B010A splits by "VWXYZ"; B020A by "FGHIJ"
// in January 2012 and "KLMNO" otherwise; B030A by a profile holding NULs;
// B040A has no split row.
TableBuilder levelRelease() {
    TableBuilder b;
    b.mdc("PRE");
    const int m01 = b.mdc("M01");
    for (int n = 1; n <= 4; ++n) {
        const std::string adrg = "B0" + std::to_string(n) + "0";
        b.diagnosisCondition("P0" + std::to_string(n), 300 + n);
        b.decisionRow({.range = 1, .mustSet = {300 + n}, .mdc = m01, .adrg = b.adrg(adrg)});
        b.refinementRow(adrg, 0, 120, 'A');
        b.drg(adrg + "A");
    }
    b.splitRow("B010A", "VWXYZ");
    b.splitRow("B020A", "FGHIJ", {20120101, 20120131});
    b.splitRow("B020A", "KLMNO");
    b.splitRow("B030A", std::string("A\0C\0E", 5));

    b.levelRow("L1", {{"B010", '1'}, {"B020", '3'}, {"B030", '1'}, {"B040", '2'}});
    b.levelRow("LD", {{"B010", '4'}}, '0', {20100301, 20100331});
    b.levelRow("LD", {{"B010", '2'}});
    for (int k = 1; k <= 8; ++k) b.levelRow("N" + std::to_string(k), {{"B010", '/'}});
    b.levelRow("NZ", {{"B010", '\0'}});
    b.levelRow("NH", {{"B010", '\xB0'}});
    return b;
}

struct RecordCase {
    const char* rule;
    const char* date;
    std::vector<std::string> diagnoses;
    const char* expected;  // MDC, ADRG, PCCL, final code
};

void expectColumns(LoadedRelease& release, const std::vector<RecordCase>& cases) {
    for (const auto& c : cases) {
        const RecordBuilder record = RecordBuilder().birthDate("800101").sex('1').date(c.date).diagnoses(c.diagnoses);
        EXPECT_EQ(groupedColumns(release, record), std::string(c.expected) + "20130201") << c.rule;
    }
}

TEST(ComplicationLevels, FirstValidRowAndTheColumnOfTheRecordsAdrg) {
    LoadedRelease release(levelRelease());
    expectColumns(release, {
        {"column of B010", "20120615", {"P01", "L1"}, "M01B0101B010AW"},
        {"column of B020", "20120615", {"P02", "L1"}, "M01B0203B020AN"},
        {"day before the dated row: the undated row", "20100228", {"P01", "LD"}, "M01B0102B010AX"},
        {"first day of the dated row, which comes first", "20100301", {"P01", "LD"}, "M01B0103B010AY"},
        {"last day of the dated row", "20100331", {"P01", "LD"}, "M01B0103B010AY"},
        {"day after the dated row", "20100401", {"P01", "LD"}, "M01B0102B010AX"},
        {"a secondary without level rows", "20120615", {"P01", "XX"}, "M01B0100B010AV"},
    });
}

// Only secondary diagnoses have levels: the principal's own row is not read.
TEST(ComplicationLevels, ThePrincipalDiagnosisHasNoLevel) {
    TableBuilder b = levelRelease();
    b.diagnosisCondition("PL", 301);
    b.levelRow("PL", {{"B010", '3'}});
    LoadedRelease release(b);
    expectColumns(release, {
        {"principal with a level row", "20120615", {"PL"}, "M01B0100B010AV"},
        {"the same code as a secondary", "20120615", {"P01", "PL"}, "M01B0103B010AY"},
    });
}

// The release's packed copy of the level rows answers as the rows of the
// table do, row number included, for every diagnosis, column and date; once
// as built, once with one profile for all so that diagnoses share rows (N1
// to N8 then share theirs, ahead of K1's two rows).
TEST(ComplicationLevels, PackedRowsAnswerAsTheTable) {
    TableBuilder builder = levelRelease();
    builder.levelRow("K1", {{"B010", '4'}}, '0', {20100301, 20100331});
    builder.levelRow("K1", {{"B010", '2'}});
    LoadedRelease release(builder);
    ClaimState packed = release.freshState();
    for (int alike : {0, 1})
    for (int v = 0; v < kLevelVersions; ++v) {
        if (alike) {
            for (int16_t& profile : release.tables.levelTables[v].cclProfile) profile = 0;
            prepareRelease(release.release);
            const LevelRowIndex& index = release.release.lookups.levelRows[v];
            ASSERT_TRUE(index.usable);
            ASSERT_LT(index.rows.size(), release.tables.levelTables[v].cclProfile.size());
        }
        for (int32_t date : {20100228, 20100301, 20100331, 20100401, 20120615}) {
            const ComplicationLevelTable& table = release.tables.levelTables[v];
            packed.activeLevelVersion = v;
            packed.activeLevelTable = &table;
            const LevelRowIndex& rows = release.release.lookups.levelRows[v];
            packed.activeLevelRows = rows.usable ? &rows : nullptr;
            packed.effectiveDateNumber = date;
            for (int16_t adrg = -1; adrg <= table.cclColumnCount; ++adrg)
                for (int16_t d = -1; d <= table.cclDiagnosisCount; ++d) {
                    packed.adrgIndex = adrg;
                    ClaimState plain = packed;
                    plain.lookups = nullptr;
                    plain.activeLevelRows = nullptr;
                    int packedRow = 0, plainRow = 0;
                    ASSERT_EQ(complicationLevel(packed, d, &packedRow), complicationLevel(plain, d, &plainRow));
                    ASSERT_EQ(packedRow, plainRow) << "diagnosis " << d << " date " << date;
                }
        }
    }
}

TEST(ComplicationLevels, MatrixBytesBelowZeroNeverGiveAPcclOutsideZeroToFour) {
    LoadedRelease release(levelRelease());
    expectColumns(release, {
        {"a lone level -1: highest level 0", "20120615", {"P01", "N1"}, "M01B0100B010AV"},
        {"1 and eight times -1: x below 0", "20120615",
         {"P01", "L1", "N1", "N2", "N3", "N4", "N5", "N6", "N7", "N8"}, "M01B0100B010AV"},
        {"1 and a NUL byte (-48): not a number", "20120615", {"P01", "L1", "NZ"}, "M01B0100B010AV"},
        {"a byte above 127 reads as negative (-128)", "20120615", {"P01", "NH"}, "M01B0100B010AV"},
    });
}

TEST(FinalCode, SplitCharacterFromTheFirstValidRowAndZeroForNul) {
    LoadedRelease release(levelRelease());
    expectColumns(release, {
        {"day before the January row", "20111231", {"P02", "L1"}, "M01B0203B020AN"},
        {"first day of the January row, which comes first", "20120101", {"P02", "L1"}, "M01B0203B020AI"},
        {"last day of the January row", "20120131", {"P02", "L1"}, "M01B0203B020AI"},
        {"day after the January row", "20120201", {"P02", "L1"}, "M01B0203B020AN"},
        {"PCCL 0 takes profile byte 0", "20120615", {"P03"}, "M01B0300B030AA"},
        {"NUL profile byte gives 0", "20120615", {"P03", "L1"}, "M01B0301B030A0"},
        {"no split row gives 0", "20120615", {"P04", "L1"}, "M01B0402B040A0"},
    });
}

// The refined code is written as the table holds it, a blank inside included.
TEST(FinalCode, RefinedCodeKeepsABlankInsideIt) {
    TableBuilder b = levelRelease();
    b.diagnosisCondition("P05", 305);
    b.decisionRow({.range = 1, .mustSet = {305}, .mdc = b.mdc("M01"), .adrg = b.adrg("B 50")});
    b.refinementRow("B 50", 0, 120, 'A');
    b.drg("B 50A");
    b.splitRow("B 50A", "VWXYZ");
    LoadedRelease release(b);
    expectColumns(release, {{"blank inside the codes", "20120615", {"P05"}, "M01B 500B 50AV"}});
}

// Conditions 373 and 388 raised by secondary diagnoses "F373" and "M388"
// (level 2 for B010); `first`..`last` are the slots that may raise them.
TableBuilder sexRelease(int first, int last) {
    TableBuilder b;
    b.mdc("PRE");
    b.diagnosisCondition("P01", 301);
    b.diagnosisCondition("P01", 373);  // the record's own flag does not count
    b.decisionRow({.range = 1, .mustSet = {301}, .mdc = b.mdc("M01"), .adrg = b.adrg("B010")});
    b.refinementRow("B010", -32000, 32000, 'A');
    b.drg("B010A");
    b.splitRow("B010A", "VWXYZ");
    b.conditionSlots(373, first, last);
    b.conditionSlots(388, first, last);
    b.diagnosisCondition("F373", 373);
    b.diagnosisCondition("M388", 388);
    b.diagnosisCondition("F373D", 373, {20100101, 20101231});
    b.diagnosisCondition("F373D", 120);
    for (const char* code : {"F373", "M388", "F373D", "L2"}) b.levelRow(code, {{"B010", '2'}});
    return b;
}

struct SexCase {
    char sex;  // '1' odd, '2' even, ' ' reads as -16 (even), '/' as -1 (odd)
    const char* date;
    const char* secondary;
    char pccl;
};

TEST(SexSpecificLevels, ConditionMustNotFitTheParityOfTheSexDigit) {
    LoadedRelease release(sexRelease(1, 1));
    const std::vector<SexCase> cases = {
        {'1', "20120615", "F373", '0'}, {'3', "20120615", "F373", '0'}, {'/', "20120615", "F373", '0'},
        {'2', "20120615", "F373", '2'}, {'4', "20120615", "F373", '2'}, {' ', "20120615", "F373", '2'},
        {'1', "20120615", "M388", '2'}, {'/', "20120615", "M388", '2'},
        {'2', "20120615", "M388", '0'}, {' ', "20120615", "M388", '0'},
        {'1', "20120615", "L2", '2'},     // the principal's 373 does not cancel others
        {'1', "20100101", "F373D", '0'},  // entry valid on its first day
        {'1', "20101231", "F373D", '0'},  // and on its last
        {'1', "20120615", "F373D", '2'},  // entry outside its dates
    };
    for (const auto& c : cases) {
        const RecordBuilder record =
            RecordBuilder().birthDate("800101").sex(c.sex).date(c.date).diagnoses({"P01", c.secondary});
        const char split = "VWXYZ"[c.pccl - '0'];
        EXPECT_EQ(groupedColumns(release, record), std::string("M01B010") + c.pccl + "B010A" + split + "20130201")
            << "sex '" << c.sex << "', " << c.secondary << " on " << c.date;
    }
}

TEST(SexSpecificLevels, OnlyConditionsLimitedToSlotOneToOneTakePart) {
    for (const auto& [first, last] : std::vector<std::pair<int, int>>{{1, 2}, {2, 2}, {1, 46}, {0, 1}}) {
        LoadedRelease release(sexRelease(first, last));
        for (const auto& [sex, secondary] : std::vector<std::pair<char, const char*>>{{'1', "F373"}, {'2', "M388"}}) {
            const RecordBuilder record =
                RecordBuilder().birthDate("800101").sex(sex).date("20120615").diagnoses({"P01", secondary});
            EXPECT_EQ(groupedColumns(release, record), "M01B0102B010AX20130201")
                << "slots " << first << ".." << last << ", " << secondary;
        }
    }
}

// A secondary of both conditions when only 388 is limited to slot 1: 373
// takes no part, so a man keeps the level and a woman loses it.
TEST(SexSpecificLevels, EachConditionTakesPartByItsOwnSlots) {
    TableBuilder b = sexRelease(1, 2);
    b.conditionSlots(388, 1, 1);
    b.diagnosisCondition("FM", 373);
    b.diagnosisCondition("FM", 388);
    b.levelRow("FM", {{"B010", '2'}});
    LoadedRelease release(b);
    for (const auto& [sex, expected] : std::vector<std::pair<char, const char*>>{{'1', "2B010AX"}, {'2', "0B010AV"}})
        EXPECT_EQ(groupedColumns(release, RecordBuilder().birthDate("800101").sex(sex).date("20120615").diagnoses(
                                              {"P01", "FM"})),
                  std::string("M01B010") + expected + "20130201")
            << "sex " << sex;
}

}  // namespace
}  // namespace drg::testing

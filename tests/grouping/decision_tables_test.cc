// MDC and ADRG assignment: the dated choice of the decision table, the row
// test over all twenty condition columns, and the two first-match passes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "complexity/cc_exclusion.h"
#include "complexity/complication_levels.h"
#include "grouping/decision_tables.h"
#include "support/grouping_fixture.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

// Result columns of a record without PCCL or final code.
std::string columns(const std::string& mdcAdrg) { return mdcAdrg + "0000000" + "20130201"; }

// Every cut date and the day before it are run through the batch program in
// the golden version suite; here the text comparison's odd inputs.
TEST(TableVersions, CompareTheDateAsTextEndingAtANul) {
    struct Case {
        std::string date;
        int decision, level, exclusion;
    };
    const std::vector<Case> cases = {
        {"A0000000", 5, 2, 2},                           // a letter sorts above every digit
        {"        ", 0, 0, 0},                           // blanks sort below
        {std::string("2012\0" "0000", 8), 4, 1, 2},      // the NUL ends the text and sorts below "0"
        {std::string("2005\0" "9999", 8), 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decisionTableVersion(c.date.c_str()), c.decision) << c.date;
        EXPECT_EQ(levelTableVersion(c.date.c_str()), c.level) << c.date;
        EXPECT_EQ(exclusionTableVersion(c.date.c_str()), c.exclusion) << c.date;
    }
}

TEST(DecisionRows, ApplyFromTheirFirstToTheirLastDayInclusive) {
    TableBuilder b;
    b.mdc("PRE");
    b.decisionRow({.range = 1, .mdc = b.mdc("ONE"), .adrg = b.adrg("A001"), .dated = {20100315, 20100315}});
    b.decisionRow({.range = 1, .mdc = b.mdc("TWO"), .adrg = b.adrg("A002"), .dated = {20100401, 20100430}});
    b.decisionRow({.range = 1, .mdc = b.mdc("DEF"), .adrg = b.adrg("A009")});
    LoadedRelease release(b);
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"20100314", "DEFA009"}, {"20100315", "ONEA001"}, {"20100316", "DEFA009"}, {"20100331", "DEFA009"},
        {"20100401", "TWOA002"}, {"20100430", "TWOA002"}, {"20100501", "DEFA009"},
    };
    for (const auto& [date, expected] : cases)
        EXPECT_EQ(groupedColumns(release, RecordBuilder().date(date)), columns(expected)) << date;
}

// Conditions are raised by procedure codes "Pnnn" (condition nnn), so that
// more than ten of them fit into one record.
std::vector<std::string> procedures(const std::vector<int>& conditions) {
    std::vector<std::string> codes;
    for (int c : conditions) codes.push_back("P" + std::to_string(c));
    return codes;
}

// Range 1 (the MDC pass):
//   r0  ten must-set conditions 100..109       -> M03 A031
//   r1  110 set, ten must-clear 111..120        -> M02 A021
//   r2  110 set                                 -> M03 A032
//   r3  123 set                                 -> M04, no ADRG
//   r4  124 set                                 -> M04 A040
//   r5  no conditions                           -> MDC 0, ADRG Z000
// Range 0 (never scanned): a row that would give Z999.
// Range 2: 121 -> A022, then an empty row as the default A023.
// Range 3: 122 -> A033, no default.
// Range 4: 125 -> A041.
TableBuilder passRelease() {
    TableBuilder b;
    b.mdc("PRE");
    const int m02 = b.mdc("M02"), m03 = b.mdc("M03"), m04 = b.mdc("M04");
    for (int c = 100; c <= 125; ++c) b.procedureCondition("P" + std::to_string(c), c);
    b.decisionRow({.range = 1,
                   .mustSet = {100, 101, 102, 103, 104, 105, 106, 107, 108, 109},
                   .mdc = m03,
                   .adrg = b.adrg("A031")});
    b.decisionRow({.range = 1,
                   .mustSet = {110},
                   .mustClear = {111, 112, 113, 114, 115, 116, 117, 118, 119, 120},
                   .mdc = m02,
                   .adrg = b.adrg("A021")});
    b.decisionRow({.range = 1, .mustSet = {110}, .mdc = m03, .adrg = b.adrg("A032")});
    b.decisionRow({.range = 1, .mustSet = {123}, .mdc = m04, .adrg = 0});
    b.decisionRow({.range = 1, .mustSet = {124}, .mdc = m04, .adrg = b.adrg("A040")});
    b.decisionRow({.range = 1, .mdc = 0, .adrg = b.adrg("Z000")});
    b.decisionRow({.range = 0, .adrg = b.adrg("Z999")});
    b.decisionRow({.range = m02, .mustSet = {121}, .adrg = b.adrg("A022")});
    b.decisionRow({.range = m02, .adrg = b.adrg("A023")});
    b.decisionRow({.range = m03, .mustSet = {122}, .adrg = b.adrg("A033")});
    b.decisionRow({.range = m04, .mustSet = {125}, .adrg = b.adrg("A041")});
    b.refinementRow("Z000", 0, 999, 'X');
    b.drg("Z000X");
    b.refinementRow("Z999", 0, 999, 'Y');
    b.drg("Z999Y");
    return b;
}

struct PassCase {
    const char* rule;
    std::vector<int> conditions;
    const char* expected;  // MDC and ADRG texts
};

TEST(DecisionPasses, FirstMatchingRowOfEachRangeDecides) {
    LoadedRelease release(passRelease());
    const std::vector<PassCase> cases = {
        {"all ten must-set columns hold", {100, 101, 102, 103, 104, 105, 106, 107, 108, 109}, "M03A031"},
        {"must-set column 10 fails", {100, 101, 102, 103, 104, 105, 106, 107, 108}, "000Z000"},
        {"must-set column 1 fails", {101, 102, 103, 104, 105, 106, 107, 108, 109}, "000Z000"},
        {"earlier row wins over a later matching one",
         {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110}, "M03A031"},
        {"must-clear columns hold; range default gives the ADRG", {110}, "M02A023"},
        {"ADRG pass: first row of range 2", {110, 121}, "M02A022"},
        {"must-clear column 1 set", {110, 111}, "M03A032"},
        {"must-clear column 10 set", {110, 120}, "M03A032"},
        {"ADRG pass replaces the MDC pass's ADRG", {110, 120, 122}, "M03A033"},
        {"ADRG pass finds nothing: the MDC pass's 0 stands", {123}, "M04" "0000"},
        {"ADRG pass replaces an ADRG of 0", {123, 125}, "M04A041"},
        {"ADRG pass finds nothing: the MDC pass's ADRG stands", {124}, "M04A040"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(groupedColumns(release, RecordBuilder().date("20120615").procedures(procedures(c.conditions))),
                  columns(c.expected))
            << c.rule;
}

// A range long enough that a search may skip rows: 40 rows, row k needs
// condition 100 + k and gives ADRG "Rnn" (nn = k), except
//   row 1   also names condition 0 (always set) among its must-set places,
//   row 3   also needs 141,
//   row 10  needs 110 with 140 clear,
//   row 20  has no conditions but applies in 2010 only.
TEST(DecisionPasses, LongRangeKeepsRowOrderPriority) {
    TableBuilder b;
    b.mdc("PRE");
    const int m02 = b.mdc("M02");
    for (int c = 100; c <= 141; ++c) b.procedureCondition("P" + std::to_string(c), c);
    for (int k = 0; k < 40; ++k) {
        DecisionRowSpec row{.range = 1, .mustSet = {100 + k}, .mdc = m02};
        const std::string nn = (k < 10 ? "0" : "") + std::to_string(k);
        row.adrg = b.adrg("R0" + nn);
        if (k == 1) row.mustSet = {0, 101};
        if (k == 3) row.mustSet = {103, 141};
        if (k == 10) row.mustClear = {140};
        if (k == 20) {
            row.mustSet = {};
            row.dated = {20100101, 20101231};
        }
        b.decisionRow(row);
    }
    LoadedRelease release(b);
    const std::vector<std::pair<std::vector<int>, const char*>> cases2012 = {
        {{105, 130}, "R005"}, {{139, 101}, "R001"}, {{103}, "000" "0000"}, {{103, 141, 102}, "R002"},
        {{110, 140, 111}, "R011"}, {{110}, "R010"}, {{131}, "R031"}, {{139}, "R039"}, {{}, "000" "0000"},
    };
    for (const auto& [conditions, adrg] : cases2012) {
        const std::string expected = std::string(adrg).substr(0, 3) == "000" ? adrg : std::string("M02") + adrg;
        EXPECT_EQ(groupedColumns(release, RecordBuilder().date("20120615").procedures(procedures(conditions))),
                  columns(expected))
            << "2012, first condition " << (conditions.empty() ? 0 : conditions[0]);
    }
    // In 2010 row 20 matches every record that no earlier row takes.
    const std::vector<std::pair<std::vector<int>, const char*>> cases2010 = {
        {{131}, "R020"}, {{}, "R020"}, {{119, 139}, "R019"}, {{121}, "R020"},
    };
    for (const auto& [conditions, adrg] : cases2010)
        EXPECT_EQ(groupedColumns(release, RecordBuilder().date("20100615").procedures(procedures(conditions))),
                  columns(std::string("M02") + adrg))
            << "2010, first condition " << (conditions.empty() ? 0 : conditions[0]);
}

TEST(DecisionPasses, RangeOneRowWithoutMdcSkipsTheAdrgPassButStillRefines) {
    // rowMdc 0: no ADRG pass (range 0 would give Z999), the refinement runs.
    LoadedRelease release(passRelease());
    EXPECT_EQ(groupedColumns(release, RecordBuilder().birthDate("800101").sex('1').date("20120615")),
              "000Z0000Z000X020130201");
    EXPECT_EQ(release.state.mdcIndex, 0);
    EXPECT_NE(release.state.refinedAdrgIndex, 0);
}

TEST(DecisionPasses, EmptyRangeOneGroupsNothing) {
    TableBuilder b;
    b.mdc("PRE");
    const int m02 = b.mdc("M02");
    b.decisionRow({.range = 0, .mdc = m02, .adrg = b.adrg("A000")});
    b.decisionRow({.range = m02, .mdc = m02, .adrg = b.adrg("A021")});
    LoadedRelease release(b);
    for (const char* date : {"20041231", "20120615"}) {
        EXPECT_EQ(groupedColumns(release, RecordBuilder().date(date).diagnoses({"A00"})), columns("000" "0000"));
        EXPECT_EQ(release.state.adrgIndex, 0);
    }
}

}  // namespace
}  // namespace drg::testing

// The guarded first-match search must find the same row as testing every row
// of the range in order, whatever the rows, ranges, dates and flags.
#include <gtest/gtest.h>

#include <random>

#include "conditions/claim_state.h"
#include "conditions/code_conditions.h"
#include "grouping/decision_tables.h"
#include "grouping/guarded_row_search.h"
#include "tables/table_loader.h"

namespace drg {
namespace {


int linearFirstMatch(const DecisionTable& table, int begin, int end, const ClaimState& state) {
    for (int row = begin; row < end; ++row)
        if (rowMatches(table, row, state)) return row;
    return -1;
}

DecisionTable randomTable(std::mt19937& rng, int rows, uint16_t conditions) {
    DecisionTable table;
    table.rowCount = static_cast<uint16_t>(rows);
    table.entryCount = 1;
    table.rowBegin = {0};
    table.rowEnd = {static_cast<int16_t>(rows)};
    for (int r = 0; r < rows; ++r) {
        // Open rows, dated rows, and rows valid on one day only.
        const auto dating = rng() % 6;
        table.rowValidFrom.push_back(dating < 3 ? 0 : dating < 5 ? 20100101 : 20120615);
        table.rowValidTo.push_back(dating < 3 ? 99991231 : dating < 5 ? 20111231 : 20120615);
        // Mostly sparse rows; empty places (0) anywhere, including before a guard.
        for (int c = 0; c < kRowConditionColumns; ++c)
            table.rowConditions.push_back(
                static_cast<int16_t>(rng() % 3 == 0 ? 1 + rng() % (conditions - 1u) : 0));
        table.rowMdc.push_back(0);
        table.rowAdrg.push_back(0);
    }
    decisionRowFixup(table, conditions);
    return table;
}

// Tables of up to `maxRows` rows; records raise up to `maxRaised` conditions.
void checkAgainstTheScan(uint16_t kConditions, int maxRows, int maxRaised) {
    std::mt19937 rng(3);
    TableSet tables;
    tables.conditions.conditionCount = kConditions;
    tables.conditions.conditionKind.assign(kConditions, 't');
    // Codes raising some conditions often and others rarely: guards are
    // chosen by how few codes raise them.
    for (int k = 0; k < 200; ++k)
        tables.codeConditions.entryCondition.push_back(static_cast<int16_t>(1 + rng() % (rng() % 2 ? 5 : kConditions - 1)));
    ClaimState state;
    const TableLookups unused;
    initClaimState(state, tables, unused);
    for (int round = 0; round < 300; ++round) {
        const int rows = 1 + static_cast<int>(rng() % static_cast<unsigned>(maxRows));
        const DecisionTable table = randomTable(rng, rows, kConditions);
        tables.decisionTables[0] = table;
        const TableLookups lookups = buildTableLookups(tables);
        for (int record = 0; record < 20; ++record) {
            ConditionFlags& f = state.conditions;
            for (uint16_t c : f.raisedConditions) f.flag[c] = 0;
            f.raisedConditions.clear();
            f.raisedMask = 0;  // left over, it would let every row past the `needs` test
            const int raised = static_cast<int>(rng() % static_cast<unsigned>(maxRaised + 1));
            for (int k = 0; k < raised; ++k) raiseCondition(f, 1 + static_cast<int>(rng() % (kConditions - 1)));
            state.effectiveDateNumber = rng() % 2 ? 20110615 : 20120615;
            const int begin = static_cast<int>(rng() % static_cast<unsigned>(rows));
            const int end = begin + static_cast<int>(rng() % static_cast<unsigned>(rows - begin + 1));
            collectRaisedGuards(lookups.decisionRowGuards[0], state);
            ASSERT_EQ(firstMatchingGuardedRow(lookups.decisionRowGuards[0], begin, end, state),
                      linearFirstMatch(table, begin, end, state))
                << "round " << round << " record " << record;
            // Every row's packed conditions say what its twenty places say.
            for (int row = 0; row < rows; ++row)
                ASSERT_EQ(packedRowMatches(lookups.decisionRowGuards[0], row, state),
                          rowMatches(table, row, state))
                    << "round " << round << " row " << row;
        }
    }
}

TEST(GuardedRowSearch, FindsTheSameRowAsTheScanInRowOrder) { checkAgainstTheScan(40, 120, 11); }

// Few conditions, so each guards long lists of rows, which the search enters
// by halving rather than by walking.
TEST(GuardedRowSearch, FindsTheSameRowInLongGuardLists) { checkAgainstTheScan(6, 600, 5); }

// More raised guards than the search merges at once: it goes guard by guard.
TEST(GuardedRowSearch, FindsTheSameRowWithManyGuardsRaised) { checkAgainstTheScan(400, 600, 399); }

}  // namespace
}  // namespace drg

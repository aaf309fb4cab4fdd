#include "grouping/decision_tables.h"

#include "grouping/row_candidates.h"
#include "tables/code_lookup.h"

namespace drg {
namespace {

constexpr const char* kDecisionCutDates[] = {"20050101", "20090101", "20091001", "20110101", "20120701"};

// First matching row of range m, or -1; a range the table does not have is
// empty. Long ranges test only the rows whose guard condition is raised.
int firstMatchingRow(ClaimState& state, int m) {
    const DecisionTable& table = *state.activeDecisionTable;
    if (m < 0 || m >= table.entryCount) return -1;
    const int begin = table.rowBegin[m], end = table.rowEnd[m];
    if (end - begin >= kGuardedSearchMinimumRows && state.activeDecisionVersion >= 0) {
        const RowGuardIndex& guards = state.lookups.decisionRowGuards[state.activeDecisionVersion];
        // Lookups built for another table set are never trusted.
        if (guards.rows.size() == table.rowCount)
            return firstMatchingGuardedRow(table, guards, begin, end, state);
    }
    for (int i = begin; i < end; ++i)
        if (rowMatches(table, i, state)) return i;
    return -1;
}

}  // namespace

int decisionTableVersion(const char* effectiveDate) {
    int version = 0;
    for (const char* cut : kDecisionCutDates) {
        if (boundedCompare(effectiveDate, cut, 8) < 0) return version;
        ++version;
    }
    return version;
}

void selectDecisionTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    const int version = decisionTableVersion(effectiveDate);
    state.activeDecisionTable = &tables.decisionTables[version];
    state.activeDecisionVersion = version;
}

bool rowMatches(const DecisionTable& table, int row, const ClaimState& state) {
    const int32_t d = state.effectiveDateNumber;
    if (table.rowValidFrom[row] > d || d > table.rowValidTo[row]) return false;
    const uint8_t* flag = state.conditions.flag.data();
    // Read unsigned: the fix-up stores the condition count, which may exceed 32767.
    const auto* conditions = reinterpret_cast<const uint16_t*>(table.rowConditions.data()) +
                             static_cast<size_t>(row) * kRowConditionColumns;
    for (int c = 0; c < kMustBeSetColumns; ++c)
        if (!flag[conditions[c]]) return false;
    for (int c = kMustBeSetColumns; c < kRowConditionColumns; ++c)
        if (flag[conditions[c]]) return false;
    return true;
}

void assignMdc(ClaimState& state) {
    const DecisionTable& table = *state.activeDecisionTable;
    const int row = firstMatchingRow(state, 1);
    if (row < 0) return;
    state.mdcIndex = table.rowMdc[row];
    state.adrgIndex = table.rowAdrg[row];
}

void assignAdrg(ClaimState& state) {
    const DecisionTable& table = *state.activeDecisionTable;
    const int row = firstMatchingRow(state, state.mdcIndex);
    if (row >= 0) state.adrgIndex = table.rowAdrg[row];
}

}  // namespace drg

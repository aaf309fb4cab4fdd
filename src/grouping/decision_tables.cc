#include "grouping/decision_tables.h"

#include "grouping/guarded_row_search.h"
#include "tables/table_versions.h"

namespace drg {
namespace {

// The guard index of the active table, or null when the release's lookups
// were built for another table set: those are never trusted.
const RowGuardIndex* usableGuards(const ClaimState& state) {
    if (state.activeDecisionVersion < 0) return nullptr;
    const RowGuardIndex& guards = state.lookups->decisionRowGuards[static_cast<size_t>(state.activeDecisionVersion)];
    return guards.listed.size() == state.activeDecisionTable->rowCount ? &guards : nullptr;
}

// First matching row of range m, or -1; a range the table does not have is
// empty. Long ranges test only the rows whose guard condition is raised.
int firstMatchingRow(ClaimState& state, int m) {
    const DecisionTable& table = *state.activeDecisionTable;
    if (m < 0 || m >= table.entryCount) return -1;
    const int begin = table.rowBegin[m], end = table.rowEnd[m];
    const RowGuardIndex* guards = usableGuards(state);
    if (!guards) {
        for (int i = begin; i < end; ++i)
            if (rowMatches(table, i, state)) return i;
        return -1;
    }
    if (end - begin >= kGuardedSearchMinimumRows) return firstMatchingGuardedRow(*guards, begin, end, state);
    for (int i = begin; i < end; ++i)
        if (packedRowMatches(*guards, i, state)) return i;
    return -1;
}

void reportPass(const ClaimState& state, DecisionPass pass, int m, int row) {
    const DecisionTable& table = *state.activeDecisionTable;
    const bool known = m >= 0 && m < table.entryCount;
    state.observer->decisionPassDone(pass, m, known ? table.rowBegin[m] : 0, known ? table.rowEnd[m] : 0, row);
}

}  // namespace

void selectDecisionTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    const int version = decisionTableVersion(effectiveDate);
    state.activeDecisionTable = &tables.decisionTables[version];
    state.activeDecisionVersion = version;
}

void assignMdc(ClaimState& state) {
    const DecisionTable& table = *state.activeDecisionTable;
    if (const RowGuardIndex* guards = usableGuards(state)) collectRaisedGuards(*guards, state);
    const int row = firstMatchingRow(state, 1);
    if (state.observer) reportPass(state, DecisionPass::Mdc, 1, row);
    if (row < 0) return;
    state.mdcIndex = table.rowMdc[row];
    state.adrgIndex = table.rowAdrg[row];
}

void assignAdrg(ClaimState& state) {
    const DecisionTable& table = *state.activeDecisionTable;
    const int row = firstMatchingRow(state, state.mdcIndex);
    if (state.observer) reportPass(state, DecisionPass::Adrg, state.mdcIndex, row);
    if (row >= 0) state.adrgIndex = table.rowAdrg[row];
}

}  // namespace drg

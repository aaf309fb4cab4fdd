#include "grouping/refinement.h"

#include "tables/table_lookups.h"

namespace drg {
namespace {

// The ADRG's rows as the tables hold them, and the refined code found by its text.
void refineByTables(ClaimState& state, const TableSet& tables) {
    const RefinementTable& rows = tables.refinement;
    const int a = state.adrgIndex;
    const int32_t d = state.effectiveDateNumber;
    int fitting = -1;
    if (a < rows.adrgCount) {
        for (int i = rows.refinementBegin[a]; i < rows.refinementEnd[a]; ++i) {
            if (rows.refinementMinAge[i] > state.ageYears || state.ageYears > rows.refinementMaxAge[i]) continue;
            if (rows.refinementValidFrom[i] > d || d > rows.refinementValidTo[i]) continue;
            state.adrgSuffix = rows.refinementSuffix[i];
            fitting = i;
            break;
        }
    }

    // The first entry holding the key, as a scan from entry 0 finds it; a key
    // held first by the placeholder entry 0 counts as not found.
    const int entry = findRefinedCode(state.lookups->refinedCodeIndex,
                                      refinedCodeKey(tables, static_cast<uint32_t>(a), state.adrgSuffix));
    if (entry > 0) state.refinedAdrgIndex = static_cast<int16_t>(entry);
    if (state.observer) state.observer->refinementDone(fitting, entry > 0 ? entry : 0);
}

}  // namespace

void refineAdrg(ClaimState& state, const TableSet& tables) {
    const RefinementIndex& index = state.lookups->refinements;
    const int a = state.adrgIndex;
    // The packed entry for no fitting row is that of suffix '0', the suffix a
    // record starts with.
    if (!index.usable || a < 0 || static_cast<size_t>(a) >= index.byAdrg.size() || state.adrgSuffix != '0') {
        refineByTables(state, tables);
        return;
    }
    const RefinementIndex::Adrg& adrg = index.byAdrg[static_cast<size_t>(a)];
    const RefinementIndex::Row* rows = index.rows.data() + adrg.firstRow;
    const int32_t d = state.effectiveDateNumber;
    uint16_t entry = adrg.entryWithoutRow;
    int fitted = -1;  // among the ADRG's rows
    for (int k = 0; k < adrg.rowCount; ++k) {
        const RefinementIndex::Row& row = rows[k];
        if (row.minAge > state.ageYears || state.ageYears > row.maxAge) continue;
        if (row.validFrom > d || d > row.validTo) continue;
        state.adrgSuffix = row.suffix;
        entry = row.refinedEntry;
        fitted = k;
        break;
    }
    if (entry != 0) state.refinedAdrgIndex = static_cast<int16_t>(entry);
    // Only an observer needs the row's number in the table.
    if (state.observer)
        state.observer->refinementDone(
            fitted < 0 ? -1 : tables.refinement.refinementBegin[static_cast<size_t>(a)] + fitted, entry);
}

}  // namespace drg

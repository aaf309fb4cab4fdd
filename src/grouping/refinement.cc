#include "grouping/refinement.h"

#include "tables/table_lookups.h"

namespace drg {

void refineAdrg(ClaimState& state, const TableSet& tables) {
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

    // The ADRG text ends at a NUL; the places after it up to the fourth are NUL.
    char key[6] = {};
    const char* adrg = tables.adrgCodes.text.at(static_cast<uint32_t>(a));
    for (int k = 0; k < 4 && adrg[k] != '\0'; ++k) key[k] = adrg[k];
    key[4] = state.adrgSuffix;

    // The first entry holding the key, as a scan from entry 0 finds it; a key
    // held first by the placeholder entry 0 counts as not found.
    const int entry = findRefinedCode(state.lookups->refinedCodeIndex, textKey(key, 5));
    if (entry > 0) state.refinedAdrgIndex = static_cast<int16_t>(entry);
    if (state.observer) state.observer->refinementDone(fitting, entry > 0 ? entry : 0);
}

}  // namespace drg

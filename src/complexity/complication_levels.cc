#include "complexity/complication_levels.h"

#include "tables/table_versions.h"

namespace drg {

void selectLevelTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    state.activeLevelTable = &tables.levelTables[levelTableVersion(effectiveDate)];
}

int16_t complicationLevel(const ClaimState& state, int16_t d, int* row) {
    const ComplicationLevelTable& t = *state.activeLevelTable;
    if (row) *row = -1;
    if (d < 0 || d >= t.cclDiagnosisCount) return 0;
    const int32_t date = state.effectiveDateNumber;
    for (int r = t.cclRowBegin[d]; r < t.cclRowEnd[d]; ++r) {
        if (t.cclValidFrom[r] > date || date > t.cclValidTo[r]) continue;
        if (row) *row = r;
        if (state.adrgIndex < 0 || state.adrgIndex >= t.cclColumnCount) return 0;
        const size_t cell = static_cast<size_t>(t.cclProfile[r]) * t.cclColumnCount + state.adrgIndex;
        return static_cast<int16_t>(static_cast<signed char>(t.cclMatrix[cell]) - '0');
    }
    return 0;
}

}  // namespace drg

#include "complexity/complication_levels.h"

#include "tables/code_lookup.h"

namespace drg {

int levelTableVersion(const char* effectiveDate) {
    if (boundedCompare(effectiveDate, "20091201", 8) < 0) return 0;
    if (boundedCompare(effectiveDate, "20120701", 8) < 0) return 1;
    return 2;
}

void selectLevelTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    state.activeLevelTable = &tables.levelTables[levelTableVersion(effectiveDate)];
}

int16_t complicationLevel(const ClaimState& state, int16_t d) {
    const ComplicationLevelTable& t = *state.activeLevelTable;
    if (d < 0 || d >= t.cclDiagnosisCount) return 0;
    const int32_t date = state.effectiveDateNumber;
    for (int r = t.cclRowBegin[d]; r < t.cclRowEnd[d]; ++r) {
        if (t.cclValidFrom[r] > date || date > t.cclValidTo[r]) continue;
        if (state.adrgIndex < 0 || state.adrgIndex >= t.cclColumnCount) return 0;
        const size_t cell = static_cast<size_t>(t.cclProfile[r]) * t.cclColumnCount + state.adrgIndex;
        return static_cast<int16_t>(static_cast<signed char>(t.cclMatrix[cell]) - '0');
    }
    return 0;
}

}  // namespace drg

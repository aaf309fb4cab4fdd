#include "complexity/complication_levels.h"

#include <algorithm>

#include "tables/table_versions.h"

namespace drg {

void selectLevelTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    state.activeLevelVersion = levelTableVersion(effectiveDate);
    const ComplicationLevelTable& t = tables.levelTables[static_cast<size_t>(state.activeLevelVersion)];
    state.activeLevelTable = &t;
    // The packed rows of the version, when the release's lookups were built
    // from its table; otherwise the table's own arrays are read.
    const LevelRowIndex* packed =
        state.lookups ? &state.lookups->levelRows[static_cast<size_t>(state.activeLevelVersion)] : nullptr;
    const bool usable = packed && packed->usable &&
                        packed->byDiagnosis.size() >= static_cast<size_t>(std::max<int>(t.cclDiagnosisCount, 0));
    state.activeLevelRows = usable ? packed : nullptr;
}

void prefetchLevelRange(const ClaimState& state, int16_t d) {
    const LevelRowIndex* packed = state.activeLevelRows;
    if (packed && d >= 0 && static_cast<size_t>(d) < packed->byDiagnosis.size())
        __builtin_prefetch(packed->byDiagnosis.data() + d);
}

int16_t complicationLevel(const ClaimState& state, int16_t d, int* row) {
    const ComplicationLevelTable& t = *state.activeLevelTable;
    if (row) *row = -1;
    if (d < 0 || d >= t.cclDiagnosisCount) return 0;
    const int32_t date = state.effectiveDateNumber;
    const auto levelOfProfile = [&](int16_t profile) -> int16_t {
        if (state.adrgIndex < 0 || state.adrgIndex >= t.cclColumnCount) return 0;
        const size_t cell = static_cast<size_t>(profile) * t.cclColumnCount + state.adrgIndex;
        return static_cast<int16_t>(static_cast<signed char>(t.cclMatrix[cell]) - '0');
    };
    if (const LevelRowIndex* packed = state.activeLevelRows) {
        const LevelRowIndex::Range range = packed->byDiagnosis[static_cast<size_t>(d)];
        if (range.begin >= range.end) return 0;
        // The table's number of the diagnosis's i-th row.
        const auto tableRow = [&](int i) { return t.cclRowBegin[static_cast<size_t>(d)] + i; };
        if (range.firstValidFrom <= date && date <= range.firstValidTo) {
            if (row) *row = tableRow(0);
            return levelOfProfile(range.firstProfile);
        }
        for (int r = range.begin + 1; r < range.end; ++r) {
            const LevelRowIndex::Row& entry = packed->rows[static_cast<size_t>(r)];
            if (entry.validFrom > date || date > entry.validTo) continue;
            if (row) *row = tableRow(r - range.begin);
            return levelOfProfile(entry.profile);
        }
        return 0;
    }
    for (int r = t.cclRowBegin[d]; r < t.cclRowEnd[d]; ++r) {
        if (t.cclValidFrom[r] > date || date > t.cclValidTo[r]) continue;
        if (row) *row = r;
        return levelOfProfile(t.cclProfile[r]);
    }
    return 0;
}

}  // namespace drg

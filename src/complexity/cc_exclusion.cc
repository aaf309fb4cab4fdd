#include "complexity/cc_exclusion.h"

#include "tables/table_versions.h"

namespace drg {

void selectExclusionTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    state.activeExclusionTable = &tables.exclusionTables[exclusionTableVersion(effectiveDate)];
}

bool inExclusionList(const CcExclusionTable& t, int16_t x, int16_t d) {
    if (d < 0 || d >= t.exclusionDiagnosisCount) return false;
    const int32_t b = t.exclusionBegin[d];
    const int32_t e = t.exclusionEnd[d];
    if (b >= e) return false;
    if (x < t.exclusionList[b] || x > t.exclusionList[e - 1]) return false;
    for (int32_t i = b; i < e; ++i)
        if (t.exclusionList[i] == x) return true;
    return false;
}

void prefetchExclusionBounds(const CcExclusionTable& t, int16_t d) {
    if (d < 0 || d >= t.exclusionDiagnosisCount) return;
    __builtin_prefetch(t.exclusionBegin.data() + d);
    __builtin_prefetch(t.exclusionEnd.data() + d);
}

void prefetchExclusionList(const CcExclusionTable& t, int16_t d) {
    if (d < 0 || d >= t.exclusionDiagnosisCount) return;
    const int32_t b = t.exclusionBegin[static_cast<size_t>(d)];
    if (b >= 0 && static_cast<size_t>(b) < t.exclusionList.size()) __builtin_prefetch(t.exclusionList.data() + b);
}

void clearSexSpecificLevels(ClaimState& state, const TableSet& tables) {
    const CodeConditionTable& code = tables.codeConditions;
    const ConditionTable& kinds = tables.conditions;
    const int32_t date = state.effectiveDateNumber;
    const bool odd = state.sexDigit % 2 != 0;
    const int cancelling = odd ? kFemaleOnlyCondition : kMaleOnlyCondition;
    for (int s = 2; s <= kDiagnosisSlots; ++s) {
        const int16_t id = state.codeIds[s];
        if (id == 0 || !state.lookups->sexSpecificDiagnosis[static_cast<size_t>(id)]) continue;
        for (int32_t k = code.diagnosisEntryBegin[id]; k < code.diagnosisEntryEnd[id]; ++k) {
            if (code.entryValidFrom[k] > date || date > code.entryValidTo[k]) continue;
            const int c = code.entryCondition[k];
            if (kinds.firstSlot[c] != 1 || kinds.lastSlot[c] != 1) continue;
            if (c == cancelling) {
                if (state.observer && state.cclBySlot[s] != 0)
                    state.observer->levelCleared(s, state.cclBySlot[s], LevelRule::SexSpecific, 0);
                state.cclBySlot[s] = 0;
                break;
            }
        }
    }
}

void applyPrincipalExclusion(ClaimState& state) {
    const CcExclusionTable& t = *state.activeExclusionTable;
    for (int s = 2; s <= kDiagnosisSlots; ++s)
        if (state.cclBySlot[s] != 0 && inExclusionList(t, state.codeIds[1], state.codeIds[s])) {
            if (state.observer) state.observer->levelCleared(s, state.cclBySlot[s], LevelRule::PrincipalExclusion, 1);
            state.cclBySlot[s] = 0;
        }
}

void applyHighestLevelExclusion(ClaimState& state, int16_t m) {
    const CcExclusionTable& t = *state.activeExclusionTable;
    for (int s = 2; s <= kDiagnosisSlots; ++s) {
        if (state.cclBySlot[s] != m) continue;
        for (int u = 2; u <= kDiagnosisSlots; ++u)
            if (u != s && state.cclBySlot[u] != 0 && inExclusionList(t, state.codeIds[s], state.codeIds[u])) {
                if (state.observer)
                    state.observer->levelCleared(u, state.cclBySlot[u], LevelRule::HighestLevelExclusion, s);
                state.cclBySlot[u] = 0;
            }
    }
}

}  // namespace drg

#include "complexity/cc_exclusion.h"

#include <bit>

#include "tables/table_versions.h"

namespace drg {

void selectExclusionTable(ClaimState& state, const TableSet& tables, const char* effectiveDate) {
    const int version = exclusionTableVersion(effectiveDate);
    state.activeExclusionTable = &tables.exclusionTables[version];
    const SharedExclusionLists* shared = state.lookups ? &state.lookups->exclusionLists[version] : nullptr;
    state.activeExclusionLists = shared && shared->usable ? shared : nullptr;
}

namespace {

// An empty list holds nothing; a candidate outside the first and last
// entries is taken as absent (the lists ascend); otherwise each is compared.
bool listHolds(const int16_t* list, int32_t begin, int32_t end, int16_t x) {
    if (begin >= end) return false;
    if (x < list[begin] || x > list[end - 1]) return false;
    for (int32_t i = begin; i < end; ++i)
        if (list[i] == x) return true;
    return false;
}

bool excludes(const ClaimState& state, int16_t x, int16_t d) {
    if (state.activeExclusionLists) return inSharedExclusionList(*state.activeExclusionLists, x, d);
    return inExclusionList(*state.activeExclusionTable, x, d);
}

}  // namespace

bool inExclusionList(const CcExclusionTable& t, int16_t x, int16_t d) {
    if (d < 0 || d >= t.exclusionDiagnosisCount) return false;
    return listHolds(t.exclusionList.data(), t.exclusionBegin[d], t.exclusionEnd[d], x);
}

bool inSharedExclusionList(const SharedExclusionLists& lists, int16_t x, int16_t d) {
    if (d < 0 || static_cast<size_t>(d) >= lists.byDiagnosis.size()) return false;
    const ExclusionListAid& aid = lists.byDiagnosis[static_cast<size_t>(d)];
    if (x >= aid.low[1] && x <= aid.high[1]) return true;
    if (x < aid.low[0] || x > aid.high[0]) return false;
    return aid.scanBegin == aid.scanEnd || listHolds(lists.entries.data(), aid.scanBegin, aid.scanEnd, x);
}

void prefetchExclusionBounds(const ClaimState& state, int16_t d) {
    const CcExclusionTable& t = *state.activeExclusionTable;
    if (d < 0 || d >= t.exclusionDiagnosisCount) return;
    if (state.activeExclusionLists) {
        __builtin_prefetch(state.activeExclusionLists->byDiagnosis.data() + d);
        return;
    }
    __builtin_prefetch(t.exclusionBegin.data() + d);
    __builtin_prefetch(t.exclusionEnd.data() + d);
}

void prefetchExclusionList(const ClaimState& state, int16_t d) {
    const CcExclusionTable& t = *state.activeExclusionTable;
    if (d < 0 || d >= t.exclusionDiagnosisCount) return;
    if (const SharedExclusionLists* shared = state.activeExclusionLists) {
        // Most lists are answered from their aid, which is fetched already.
        const ExclusionListAid& aid = shared->byDiagnosis[static_cast<size_t>(d)];
        if (aid.scanBegin != aid.scanEnd && static_cast<size_t>(aid.scanBegin) < shared->entries.size())
            __builtin_prefetch(shared->entries.data() + aid.scanBegin);
        return;
    }
    const int32_t b = t.exclusionBegin[static_cast<size_t>(d)];
    if (b >= 0 && static_cast<size_t>(b) < t.exclusionList.size()) __builtin_prefetch(t.exclusionList.data() + b);
}

// Reads each code's packed entries where its lookup found them: raising the
// code conditions has just read the same lines.
void clearSexSpecificLevels(ClaimState& state, const TableSet& tables) {
    const PackedCodeEntry* entries = state.lookups->codeEntries.data();
    const ConditionTable& kinds = tables.conditions;
    const int32_t date = state.effectiveDateNumber;
    const bool odd = state.sexDigit % 2 != 0;
    const int cancelling = odd ? kFemaleOnlyCondition : kMaleOnlyCondition;
    // Most records have no sex-specific secondary: their slots are picked
    // out without a branch on each.
    uint32_t specific = 0;
    for (int s = 2; s <= kDiagnosisSlots; ++s) {
        const int16_t id = state.codeIds[s];
        specific |= static_cast<uint32_t>((id != 0) & state.lookups->sexSpecific(id)) << s;
    }
    for (; specific != 0; specific &= specific - 1) {
        const int s = std::countr_zero(specific);
        const CodeEntryRange range = state.entryRanges[static_cast<size_t>(s)];
        for (int32_t k = range.begin; k < range.end; ++k) {
            const PackedCodeEntry& e = entries[k];
            if (e.validFrom > date || date > e.validTo) continue;
            const int c = e.condition;
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
    for (int s = 2; s <= kDiagnosisSlots; ++s)
        if (state.cclBySlot[s] != 0 && excludes(state, state.codeIds[1], state.codeIds[s])) {
            if (state.observer) state.observer->levelCleared(s, state.cclBySlot[s], LevelRule::PrincipalExclusion, 1);
            state.cclBySlot[s] = 0;
        }
}

void applyHighestLevelExclusion(ClaimState& state, int16_t m) {
    for (int s = 2; s <= kDiagnosisSlots; ++s) {
        if (state.cclBySlot[s] != m) continue;
        for (int u = 2; u <= kDiagnosisSlots; ++u)
            if (u != s && state.cclBySlot[u] != 0 && excludes(state, state.codeIds[s], state.codeIds[u])) {
                if (state.observer)
                    state.observer->levelCleared(u, state.cclBySlot[u], LevelRule::HighestLevelExclusion, s);
                state.cclBySlot[u] = 0;
            }
    }
}

}  // namespace drg

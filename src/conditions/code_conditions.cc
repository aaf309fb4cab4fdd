#include "conditions/code_conditions.h"

#include "tables/code_lookup.h"

namespace drg {
namespace {

// The "Tcode" entry number of the i-th entry of code `id` of the slot's kind.
int32_t tableEntry(const TableSet& tables, int slot, int16_t id, int32_t i) {
    const CodeConditionTable& code = tables.codeConditions;
    const std::vector<int32_t>& begin = slot <= kDiagnosisSlots ? code.diagnosisEntryBegin : code.procedureEntryBegin;
    return begin[static_cast<size_t>(id)] + i;
}

// Raises the conditions of the entries [begin, end) that apply on the
// record's date from slot s; procedure slots that keep marks (MarksRow)
// mark theirs too. An observer hears the table's own entry numbers.
template <bool MarksRow, bool Observed>
void raiseEntries(ClaimState& state, const TableSet& tables, int s, int32_t begin, int32_t end) {
    const PackedCodeEntry* entries = state.lookups->codeEntries.data();
    ConditionFlags& f = state.conditions;
    const int32_t d = state.effectiveDateNumber;
    uint16_t marks = 0;
    for (int32_t k = begin; k < end; ++k) {
        const PackedCodeEntry& e = entries[k];
        if (e.validFrom > d || d > e.validTo) continue;
        if (e.firstSlot > s || s > e.lastSlot) continue;
        const int c = e.condition;
        raiseCondition(f, c);
        ++f.hitCount[c];
        if constexpr (Observed)
            state.observer->codeConditionRaised(s, tableEntry(tables, s, state.codeIds[s], k - begin), c);
        if constexpr (MarksRow) marks |= f.markBitOf[static_cast<size_t>(c)];
    }
    if constexpr (MarksRow) f.slotMarks[static_cast<size_t>(s - kFirstProcedureSlot)] |= marks;
}

}  // namespace

// Reads "Tcode" through the release's packed copy of it, each code's
// entries where its lookup found them.
void raiseCodeConditions(ClaimState& state, const TableSet& tables) {
    for (int n = 0; n < state.codedSlotCount; ++n) {
        const int s = state.codedSlots[static_cast<size_t>(n)];
        if (state.codeIds[s] == 0) continue;
        const CodeEntryRange range = state.entryRanges[static_cast<size_t>(s)];
        const bool marksRow = s >= kFirstProcedureSlot && s <= kLastMarkedProcedureSlot;
        if (state.observer) {
            if (marksRow)
                raiseEntries<true, true>(state, tables, s, range.begin, range.end);
            else
                raiseEntries<false, true>(state, tables, s, range.begin, range.end);
        } else if (marksRow) {
            raiseEntries<true, false>(state, tables, s, range.begin, range.end);
        } else {
            raiseEntries<false, false>(state, tables, s, range.begin, range.end);
        }
    }
}

}  // namespace drg

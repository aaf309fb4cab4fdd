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

}  // namespace

// Reads "Tcode" through the release's packed copy of it, each code's
// entries where its lookup found them; an observer hears the table's own
// entry numbers.
void raiseCodeConditions(ClaimState& state, const TableSet& tables) {
    const PackedCodeEntry* entries = state.lookups->codeEntries.data();
    ConditionFlags& f = state.conditions;
    const int32_t d = state.effectiveDateNumber;
    for (int n = 0; n < state.codedSlotCount; ++n) {
        const int s = state.codedSlots[static_cast<size_t>(n)];
        if (state.codeIds[s] == 0) continue;
        const bool diagnosis = s <= kDiagnosisSlots;
        const CodeEntryRange range = state.entryRanges[static_cast<size_t>(s)];
        const int32_t begin = range.begin, end = range.end;
        const bool marksRow = !diagnosis && s <= kLastMarkedProcedureSlot;
        for (int32_t k = begin; k < end; ++k) {
            const PackedCodeEntry& e = entries[k];
            if (e.validFrom > d || d > e.validTo) continue;
            if (e.firstSlot > s || s > e.lastSlot) continue;
            const int c = e.condition;
            raiseCondition(f, c);
            ++f.hitCount[c];
            if (state.observer) state.observer->codeConditionRaised(s, tableEntry(tables, s, state.codeIds[s], k - begin), c);
            if (marksRow) {
                const uint32_t cell = static_cast<uint32_t>(s - kFirstProcedureSlot) * f.conditionCount + c;
                if (!f.slotConditions[cell]) {
                    f.slotConditions[cell] = 1;
                    f.markedSlotCells.push(cell);
                }
            }
        }
    }
}

}  // namespace drg

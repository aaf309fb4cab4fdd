#include "conditions/claim_state.h"

#include "tables/condition_kinds.h"

namespace drg {
void initClaimState(ClaimState& state, const TableSet& tables, const TableLookups& lookups) {
    const uint16_t n = tables.conditions.conditionCount;
    ConditionFlags& f = state.conditions;
    f.conditionCount = n;
    f.flag.assign(static_cast<size_t>(n) + 1, 0);
    f.flag[0] = 1;
    f.hitCount.assign(n, 0);
    f.derivedMark.assign(n, 0);
    for (int c : kDerivedConditions)
        if (c < n) f.derivedMark[static_cast<size_t>(c)] = 1;
    f.slotMarks.fill(0);
    f.markBitOf.assign(n, 0);
    for (int c : kSlotMarkedConditions)
        if (c < n) f.markBitOf[static_cast<size_t>(c)] = slotMarkBit(c);
    f.raisedConditions.reserveAll(static_cast<size_t>(n) + 1);
    state.raisedGuards.reserveAll(static_cast<size_t>(n) + 2);
    state.conditionKindsAgree = firstConditionKindMismatch(tables.conditions) < 0;
    state.lookups = &lookups;
}

}  // namespace drg

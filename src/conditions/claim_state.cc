#include "conditions/claim_state.h"

#include "conditions/derived_conditions.h"

namespace drg {
namespace {

// Each condition 1..N-1 must be derived ('l') exactly when it is built in,
// and raised from codes ('t') otherwise.
bool conditionKindsAgree(const ConditionTable& table) {
    for (int c = 1; c < table.conditionCount; ++c) {
        const char expected = isDerivedCondition(c) ? 'l' : 't';
        if (table.conditionKind[c] != expected) return false;
    }
    return true;
}

}  // namespace

void initClaimState(ClaimState& state, const TableSet& tables) {
    const uint16_t n = tables.conditions.conditionCount;
    ConditionFlags& f = state.conditions;
    f.conditionCount = n;
    f.flag.assign(static_cast<size_t>(n) + 1, 0);
    f.flag[0] = 1;
    f.hitCount.assign(n, 0);
    f.derivedMark.assign(n, 0);
    f.slotConditions.assign(static_cast<size_t>(kMarkedProcedureSlots) * n, 0);
    f.raisedConditions.clear();
    f.raisedConditions.reserve(static_cast<size_t>(n) + 1);
    f.markedSlotCells.clear();
    f.markedSlotCells.reserve(static_cast<size_t>(kMarkedProcedureSlots) * n);
    state.conditionKindsAgree = conditionKindsAgree(tables.conditions);
    state.lookups = buildTableLookups(tables);
}

}  // namespace drg

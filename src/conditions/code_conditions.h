#pragma once
// Condition flags raised by the codes of a record.

#include "conditions/claim_state.h"
#include "tables/table_set.h"

namespace drg {

// Sets flag and hit count for every dated "Tcode" entry of each slot's code
// whose condition may be raised from that slot; procedure slots 11..41 also
// mark the condition in their own row.
void raiseCodeConditions(ClaimState& state, const TableSet& tables);

// Raises condition c (1..N-1 or derived) for this record, remembering it for the reset.
inline void raiseCondition(ConditionFlags& f, int c) {
    if (!f.flag[c]) {
        f.flag[c] = 1;
        f.raisedConditions.push(static_cast<uint16_t>(c));
        f.raisedMask |= conditionBit(static_cast<unsigned>(c));
    }
}

}  // namespace drg

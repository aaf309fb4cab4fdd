#pragma once
// The test of one decision row against a record's condition flags.

#include <cstdint>

#include "conditions/claim_state.h"
#include "tables/table_set.h"

namespace drg {

// Whether row i of the table applies to the record: dated, ten conditions set
// and ten clear (after the must-be-clear fix-up).
inline bool rowMatches(const DecisionTable& table, int row, const ClaimState& state) {
    const int32_t d = state.effectiveDateNumber;
    if (table.rowValidFrom[row] > d || d > table.rowValidTo[row]) return false;
    const uint8_t* flag = state.conditions.flag.data();
    // Read unsigned: the fix-up stores the condition count, which may exceed 32767.
    const auto* conditions = reinterpret_cast<const uint16_t*>(table.rowConditions.data()) +
                             static_cast<size_t>(row) * kRowConditionColumns;
    for (int c = 0; c < kMustBeSetColumns; ++c)
        if (!flag[conditions[c]]) return false;
    for (int c = kMustBeSetColumns; c < kRowConditionColumns; ++c)
        if (flag[conditions[c]]) return false;
    return true;
}

}  // namespace drg

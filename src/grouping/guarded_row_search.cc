#include "grouping/guarded_row_search.h"

#include <algorithm>

namespace drg {
namespace {

// Tests the rows of one guard from `begin` on, up to the best match found so
// far (exclusive), and lowers it to any row that matches.
inline void testGuardedRows(const RowGuardIndex& guards, uint32_t guard, int begin,
                            int& best, const ClaimState& state) {
    const uint16_t* first = guards.rows.data() + guards.begin[guard];
    const uint16_t* last = guards.rows.data() + guards.begin[guard + 1];
    // Most lists are short: a walk finds the first row in range as fast.
    const uint16_t* it = first;
    if (last - first > 8) it = std::lower_bound(first, last, static_cast<uint16_t>(begin));
    while (it != last && *it < begin) ++it;
    const uint64_t raised = state.conditions.raisedMask;
    for (; it != last && *it < best; ++it) {
        if (guards.rowNeeds[static_cast<size_t>(it - guards.rows.data())] & ~raised)
            continue;  // needs a condition the record did not raise
        if (packedRowMatches(guards, *it, state)) {
            best = *it;  // rows of a guard ascend: later ones cannot beat it
            return;
        }
    }
}

}  // namespace

int firstMatchingGuardedRow(const RowGuardIndex& guards, int begin, int end,
                            const ClaimState& state) {
    // The lowest matching row among the unguarded rows and the rows guarded by
    // a raised condition: no other row of the range can match.
    int best = end;
    for (int row = guards.nextUnguarded[static_cast<size_t>(begin)]; row < best;
         row = guards.nextUnguarded[static_cast<size_t>(row) + 1])
        if (packedRowMatches(guards, row, state)) best = row;
    for (uint16_t c : state.conditions.raisedConditions)
        if (guards.guards(c)) testGuardedRows(guards, c, begin, best, state);
    return best < end ? best : -1;
}

}  // namespace drg

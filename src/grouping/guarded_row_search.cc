#include "grouping/guarded_row_search.h"

#include <algorithm>

#include "grouping/row_match.h"

namespace drg {
namespace {

// Tests the rows of one guard from `begin` on, up to the best match found so
// far (exclusive), and lowers it to any row that matches.
inline void testGuardedRows(const DecisionTable& table, const RowGuardIndex& guards, uint32_t guard, int begin,
                            int& best, const ClaimState& state) {
    const uint32_t from = guards.begin[guard], to = guards.begin[guard + 1];
    if (from == to) return;  // most raised conditions guard no row
    const auto first = guards.rows.begin() + from;
    const auto last = guards.rows.begin() + to;
    for (auto it = std::lower_bound(first, last, static_cast<uint16_t>(begin)); it != last && *it < best; ++it)
        if (rowMatches(table, *it, state)) {
            best = *it;  // rows of a guard ascend: later ones cannot beat it
            return;
        }
}

}  // namespace

int firstMatchingGuardedRow(const DecisionTable& table, const RowGuardIndex& guards, int begin, int end,
                            const ClaimState& state) {
    // The lowest matching row among the unguarded rows and the rows guarded by
    // a raised condition: no other row of the range can match.
    int best = end;
    testGuardedRows(table, guards, 0, begin, best, state);
    for (uint16_t c : state.conditions.raisedConditions) testGuardedRows(table, guards, c, begin, best, state);
    return best < end ? best : -1;
}

}  // namespace drg

#include "grouping/row_candidates.h"

#include <algorithm>

#include "grouping/decision_tables.h"

namespace drg {
namespace {

void gatherRows(const RowGuardIndex& guards, uint32_t guard, int begin, int end, std::vector<uint16_t>& out) {
    const auto first = guards.rows.begin() + guards.begin[guard];
    const auto last = guards.rows.begin() + guards.begin[guard + 1];
    for (auto it = std::lower_bound(first, last, static_cast<uint16_t>(begin)); it != last && *it < end; ++it)
        out.push_back(*it);
}

}  // namespace

int firstMatchingGuardedRow(const DecisionTable& table, const RowGuardIndex& guards, int begin, int end,
                            const ClaimState& state, std::vector<uint16_t>& candidates) {
    candidates.clear();
    gatherRows(guards, 0, begin, end, candidates);  // rows without a guard
    for (uint16_t c : state.conditions.raisedConditions) gatherRows(guards, c, begin, end, candidates);
    std::sort(candidates.begin(), candidates.end());
    for (uint16_t row : candidates)
        if (rowMatches(table, row, state)) return row;
    return -1;
}

}  // namespace drg

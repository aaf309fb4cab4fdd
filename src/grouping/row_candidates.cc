#include "grouping/row_candidates.h"

#include <algorithm>

#include "grouping/decision_tables.h"

namespace drg {
namespace {

inline void gatherRows(const RowGuardIndex& guards, uint32_t guard, int begin, int end, std::vector<uint16_t>& out) {
    const uint32_t from = guards.begin[guard], to = guards.begin[guard + 1];
    if (from == to) return;  // most raised conditions guard no row
    const auto first = guards.rows.begin() + from;
    const auto last = guards.rows.begin() + to;
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

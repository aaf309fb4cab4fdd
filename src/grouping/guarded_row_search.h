#pragma once
// First-match search over a long range of decision rows that tests only the
// rows whose guard condition the record raised.

#include <cstdint>
#include <vector>

#include "conditions/claim_state.h"
#include "tables/table_lookups.h"
#include "tables/table_set.h"

namespace drg {

// Ranges up to this many rows are scanned row by row: cheaper than gathering.
inline constexpr int kGuardedSearchMinimumRows = 24;

// The lowest row in [begin, end) that matches the record, or -1: the same
// row a scan in row order finds.
int firstMatchingGuardedRow(const DecisionTable& table, const RowGuardIndex& guards, int begin, int end,
                            const ClaimState& state);

}  // namespace drg

#pragma once
// First-match search over decision rows with the lookup aids of the table:
// rows tested by their packed conditions, and in long ranges only the rows
// whose guard condition the record raised.

#include <cstdint>

#include "conditions/claim_state.h"
#include "tables/table_lookups.h"
#include "tables/table_set.h"

namespace drg {

// Ranges up to this many rows are scanned row by row: cheaper than gathering.
inline constexpr int kGuardedSearchMinimumRows = 24;

// Whether a row matches, as rowMatches says, from its packed conditions
// and its terms.
inline bool packedRowMatches(const RowGuardIndex::PackedRow& packed, const uint16_t* term, const ClaimState& state) {
    const int32_t d = state.effectiveDateNumber;
    if (packed.validFrom > d || d > packed.validTo) return false;
    const uint8_t* flag = state.conditions.flag.data();
    const uint16_t* setEnd = term + packed.setTerms;
    const uint16_t* end = term + packed.termCount;
    for (; term != setEnd; ++term)
        if (!flag[*term]) return false;
    for (; term != end; ++term)
        if (flag[*term]) return false;
    return true;
}

inline bool packedRowMatches(const RowGuardIndex& index, int row, const ClaimState& state) {
    const RowGuardIndex::PackedRow& packed = index.packedRows[static_cast<size_t>(row)];
    return packedRowMatches(packed, index.terms.data() + packed.termBegin, state);
}

inline bool guardedRowMatches(const RowGuardIndex& index, const RowGuardIndex::GuardedRow& listed,
                              const ClaimState& state) {
    return packedRowMatches(listed.packed, listed.termsOf(index), state);
}

// Picks out the record's raised conditions that guard some row of the
// table into state.raisedGuards, which the search below reads: both decision
// passes search among the same ones.
void collectRaisedGuards(const RowGuardIndex& guards, ClaimState& state);

// The lowest row in [begin, end) that matches the record, or -1: the same
// row a scan in row order finds. The raised guards must be collected.
int firstMatchingGuardedRow(const RowGuardIndex& guards, int begin, int end,
                            const ClaimState& state);

}  // namespace drg

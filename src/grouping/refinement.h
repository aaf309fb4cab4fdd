#pragma once
// Refinement of an ADRG by one age-and-date character into a refined code.

#include "conditions/claim_state.h"
#include "tables/table_set.h"

namespace drg {

// Picks the suffix from the first fitting row of the ADRG ("0" when none
// fits), then finds the ADRG text plus suffix in "Taadrg.idx" by a linear
// search from entry 0; entry 0 itself never counts as found.
void refineAdrg(ClaimState& state, const TableSet& tables);

}  // namespace drg

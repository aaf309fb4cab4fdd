#pragma once
// Patient clinical complexity level (PCCL) and the final six-character code.

#include <cstdint>

#include "conditions/claim_state.h"
#include "tables/table_set.h"

namespace drg {

// PCCL of nine levels sorted in descending order: S = sum of L[k] e^(-0.4 k),
// x = ln(1 + S) / (ln(7.5) / 4) + 0.5, truncated and capped at 4. Negative
// levels (matrix bytes below '0') can drive x below 0 or make it not a
// number; the PCCL is then 0.
int16_t pcclFromSortedLevels(const int16_t* levels, int count);

// S of the formula above: the k-th largest level weighted by e^(-0.4 k).
double weightedLevelSum(const int16_t* sortedLevels, int count);

// Levels of slots 2..10, the three exclusion rules, the PCCL and the final code.
void computeComplexity(ClaimState& state, const TableSet& tables);

}  // namespace drg

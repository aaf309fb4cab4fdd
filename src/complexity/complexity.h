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

// The same PCCL of nine levels in any order: levels of 0 to 4, the usual
// ones, are counted and the answer read from a table made with the formula.
int16_t pcclOfLevels(const int16_t* levels);

// S of the formula above: the k-th largest level weighted by e^(-0.4 k).
double weightedLevelSum(const int16_t* sortedLevels, int count);

// What the level and exclusion steps read first for the secondary
// diagnoses: fetched while the record's group is still being decided, so
// that their misses overlap with that work instead of following one another
// at the end.
void prefetchLevelRangesAndExclusionBounds(const ClaimState& state);

// Levels of slots 2..10, the three exclusion rules, the PCCL and the final
// code; the fetch above comes first.
void computeComplexity(ClaimState& state, const TableSet& tables);

}  // namespace drg

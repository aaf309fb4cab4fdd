#pragma once
// The 43 conditions that no single code gives: counts of hits, birth weight
// bands, age, stay, status, sex, ventilation and procedure combinations.

#include "conditions/claim_state.h"
#include "tables/condition_kinds.h"

namespace drg {

// Raises the derived conditions whose rules hold; never clears a flag.
void deriveConditions(ClaimState& state);

// What raises derived condition c, in words ("" for other conditions).
const char* derivedConditionRule(int c);

// Whether some derived rule reads condition c (its flag, hits or the
// procedure rows that raised it).
bool readByDerivedRule(int c);

}  // namespace drg

#pragma once
// Turns one record into its ClaimState: numeric fields and age, code ids,
// repeated diagnoses removed, the dagger/asterisk exchange, and all condition
// flags, followed by the condition kind check.

#include <cstddef>

#include "conditions/claim_state.h"
#include "record/upper_case.h"
#include "tables/table_set.h"

namespace drg {

inline constexpr int kPrepareOk = 0;
inline constexpr int kPrepareLogicError = -1;

// `record` holds at least 305 bytes (the driver pads short lines) and is
// upper-cased in place over `length` bytes. Table versions must already be
// selected. Returns -1 when the condition kinds disagree with the built-in
// derived conditions; the caller reports it.
int prepareRecord(ClaimState& state, const TableSet& tables, char* record, size_t length);

// Clears what the previous record wrote into the condition arrays: the same
// result as clearing them whole, at the cost of what was touched.
void resetConditionFlags(ConditionFlags& flags);

}  // namespace drg

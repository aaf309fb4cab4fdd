#pragma once
// Complication and comorbidity level of a secondary diagnosis for the
// record's ADRG and date.

#include <cstdint>

#include "conditions/claim_state.h"
#include "tables/table_set.h"
#include "tables/table_versions.h"

namespace drg {

// "Tccl" before "20091201", "Tccl1" before "20120701", "Tccl2" from then on.
void selectLevelTable(ClaimState& state, const TableSet& tables, const char* effectiveDate);

// The first dated row of the diagnosis selects a profile; the level is that
// profile's byte for the record's ADRG, read as signed, minus '0'. A diagnosis
// or ADRG that an older table does not cover has level 0.
// `row` (when given) receives the level row that decided, or -1.
int16_t complicationLevel(const ClaimState& state, int16_t diagnosisId, int* row = nullptr);

// Start fetching what complicationLevel reads first for a diagnosis: called
// for all of a record's diagnoses before the first lookup, their waits overlap.
void prefetchLevelRange(const ClaimState& state, int16_t diagnosisId);

}  // namespace drg

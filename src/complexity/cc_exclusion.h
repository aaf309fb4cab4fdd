#pragma once
// Rules that cancel the levels of secondary diagnoses: sex-specific levels,
// exclusion by the principal diagnosis, exclusion by the highest level.

#include <cstdint>

#include "conditions/claim_state.h"
#include "tables/table_set.h"
#include "tables/table_versions.h"

namespace drg {

// "Tccedit" before "20080101", "Tccedit1" before "20111101", "Tccedit2" from then on.
void selectExclusionTable(ClaimState& state, const TableSet& tables, const char* effectiveDate);

// Whether candidateId stands in the ascending exclusion list of diagnosisId.
bool inExclusionList(const CcExclusionTable& table, int16_t candidateId, int16_t diagnosisId);
// The same answer from the lists held once each.
bool inSharedExclusionList(const SharedExclusionLists& lists, int16_t candidateId, int16_t diagnosisId);

// Start fetching the list bounds of a diagnosis in the active version, and
// (once they have arrived) the start of its list, ahead of the list test.
void prefetchExclusionBounds(const ClaimState& state, int16_t diagnosisId);
void prefetchExclusionList(const ClaimState& state, int16_t diagnosisId);

// A secondary diagnosis whose own dated entries raise 373 (odd sex digit) or
// 388 (even sex digit), conditions that only slot 1 may raise, loses its level.
void clearSexSpecificLevels(ClaimState& state, const TableSet& tables);

// A secondary diagnosis whose list holds the principal loses its level.
void applyPrincipalExclusion(ClaimState& state);

// Every secondary at the highest level m (not recomputed) cancels the others
// whose lists hold it, in slot order.
void applyHighestLevelExclusion(ClaimState& state, int16_t highestLevel);

}  // namespace drg

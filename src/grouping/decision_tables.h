#pragma once
// MDC and ADRG assignment by first-match decision rows over condition flags.

#include "conditions/claim_state.h"
#include "grouping/row_match.h"
#include "tables/table_set.h"
#include "tables/table_versions.h"

namespace drg {

// Chooses the decision table version in force on the 8-character effective
// date text: a date equal to a cut date takes the later version.
void selectDecisionTable(ClaimState& state, const TableSet& tables, const char* effectiveDate);

// Scans range 1; the first matching row gives MDC and ADRG.
void assignMdc(ClaimState& state);
// Scans the range of the MDC found; the first matching row replaces the ADRG.
void assignAdrg(ClaimState& state);

}  // namespace drg

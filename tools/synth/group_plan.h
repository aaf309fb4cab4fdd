#pragma once
// MDCs, ADRGs and refined codes of the made-up classification, and the
// tables that only they fill: the three group text lists, the refinement
// rows by age and the split profiles.

#include "synth/synth_model.h"
#include "synth/synth_random.h"
#include "tables/table_set.h"

namespace drg::synth {

inline constexpr int kAdrgEntries = 398;      // placeholder included: the columns of the level matrix
inline constexpr int kRefinedEntries = 1080;  // placeholder included

// The surgical groups an MDC's rows test: its own, or those of the system
// whose operations it shares (injuries use the musculoskeletal ones).
std::vector<int> surgicalGroupsFor(const CodeCatalog& catalog, int mdc);

GroupPlan makeGroupPlan(const CodeCatalog& catalog, SynthRandom& random);

// "Tmdc.idx", "Tadrg.idx", "Taadrg.idx", "Taadrg" and "Tpccl".
void fillGroupTables(const GroupPlan& plan, SynthRandom& random, TableSet& tables);

}  // namespace drg::synth

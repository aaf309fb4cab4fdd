#pragma once
// Complication levels and CC exclusions of the made-up classification: three
// dated versions each. Levels come from 250 profiles (ten per body system,
// from mild to severe) over every ADRG; a diagnosis counts for little in its
// own system. Exclusion lists hold the closely related codes, ascending, and
// grow from version to version.

#include "synth/synth_model.h"
#include "synth/synth_random.h"
#include "tables/table_set.h"

namespace drg::synth {

inline constexpr int kLevelProfiles = 250;
inline constexpr int kProfilesPerMdc = 10;
// Entries the exclusion lists of each version aim at, at most; the first
// version's counts are 16-bit.
inline constexpr int64_t kExclusionTargets[] = {65000, 380000, 594000};

void fillLevelTables(const CodeCatalog& catalog, const GroupPlan& plan, SynthRandom& random, TableSet& tables);
void fillExclusionTables(const CodeCatalog& catalog, const TableSet& levels, TableSet& tables);

}  // namespace drg::synth

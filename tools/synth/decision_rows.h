#pragma once
// The six dated decision tables of the made-up classification: pre-MDC rows
// that decide a few cases outright and route every principal diagnosis group
// to its MDC, then per MDC surgical rows, medical rows with their variants by
// age, stay, status, sex and ventilation, and a default row. The versions
// differ: rows come and go, change their ADRG, or change on a day within a
// version.

#include "synth/synth_model.h"
#include "synth/synth_random.h"
#include "tables/table_set.h"

namespace drg::synth {

void fillDecisionTables(const CodeCatalog& catalog, const GroupPlan& plan, SynthRandom& random, TableSet& tables);

}  // namespace drg::synth

#pragma once
// The code tables of the made-up classification: the two code indices, the
// dagger/asterisk pairs, the conditions and the code-to-condition entries.

#include "synth/synth_model.h"
#include "tables/table_set.h"

namespace drg::synth {

void fillCodeTables(const CodeCatalog& catalog, TableSet& tables);

}  // namespace drg::synth

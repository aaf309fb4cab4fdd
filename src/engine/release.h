#pragma once
// One classification release as the grouper uses it: the 22 tables and the
// lookup aids built from them, prepared once and never changed afterwards.
// Any number of threads may group against one release at the same time; each
// thread brings its own ClaimState.

#include <string>

#include "conditions/claim_state.h"
#include "tables/table_lookups.h"
#include "tables/table_set.h"

namespace drg {

struct Release {
    TableSet tables;
    TableLookups lookups;
    // The first condition whose kind byte disagrees with the built-in derived
    // conditions, or -1. A release with one groups no record.
    int conditionKindMismatch = -1;
};

// Loads the tables from `directory` and prepares the release. Returns
// kLoadOk, kLoadInitError or kLoadCountError; `problem` (when given) receives
// one line naming the file and the field at fault.
int loadRelease(Release& release, const std::string& directory, std::string* problem = nullptr);

// Builds the lookup aids and the condition kind check of a release whose
// tables are filled already (loaded, or built in memory).
void prepareRelease(Release& release);

// Sizes a worker's state for the release and binds it to its lookup aids.
void initClaimState(ClaimState& state, const Release& release);

}  // namespace drg

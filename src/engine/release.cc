#include "engine/release.h"

#include "tables/condition_kinds.h"
#include "tables/table_loader.h"

namespace drg {

int loadRelease(Release& release, const std::string& directory, std::string* problem) {
    const int loaded = loadTables(release.tables, directory, problem);
    if (loaded != kLoadOk) {
        releaseTables(release.tables);
        return loaded;
    }
    prepareRelease(release);
    return kLoadOk;
}

void prepareRelease(Release& release) {
    release.lookups = buildTableLookups(release.tables);
    release.conditionKindMismatch = firstConditionKindMismatch(release.tables.conditions);
}

void initClaimState(ClaimState& state, const Release& release) {
    initClaimState(state, release.tables, release.lookups);
}

}  // namespace drg

#include "synth/synthetic_release.h"

#include <cstdio>
#include <cstring>

#include "synth/code_catalog.h"
#include "synth/code_tables.h"
#include "synth/decision_rows.h"
#include "synth/group_plan.h"
#include "synth/level_tables.h"
#include "synth/synth_random.h"

namespace drg::synth {

inline constexpr uint64_t kReleaseStream = 1;

SyntheticRelease makeSyntheticRelease(uint64_t seed) {
    SynthRandom random(seed, kReleaseStream);
    SyntheticRelease release;
    release.catalog = makeCodeCatalog(random);
    release.groups = makeGroupPlan(release.catalog, random);
    TableSet& tables = release.tables;
    fillCodeTables(release.catalog, tables);
    fillGroupTables(release.groups, random, tables);
    fillDecisionTables(release.catalog, release.groups, random, tables);
    fillLevelTables(release.catalog, release.groups, random, tables);
    fillExclusionTables(release.catalog, tables, tables);

    // Header bytes past the count fields say where the files came from.
    char label[kHeaderSize];
    std::snprintf(label, sizeof label, "made-up release, seed %llu", static_cast<unsigned long long>(seed));
    for (auto& header : tables.headers) {
        header.fill(' ');
        std::memcpy(header.data() + 40, label, std::strlen(label));
    }
    return release;
}

}  // namespace drg::synth

#include "support/loaded_release.h"

#include <stdexcept>

#include "complexity/cc_exclusion.h"
#include "complexity/complication_levels.h"
#include "conditions/prepare_record.h"
#include "record/record_layout.h"
#include "grouping/decision_tables.h"
#include "tables/table_loader.h"

namespace drg::testing {

LoadedRelease::LoadedRelease(const TableBuilder& builder) {
    builder.write(dir.path());
    std::string problem;
    if (loadRelease(release, dir.path(), &problem) != kLoadOk)
        throw std::runtime_error("test release does not load: " + problem);
    initClaimState(state, release);
}

LoadedRelease::~LoadedRelease() { releaseTables(tables); }

int LoadedRelease::prepare(std::string& record) { return prepare(record, state); }

int LoadedRelease::prepare(std::string& record, ClaimState& target) const {
    if (record.size() < static_cast<size_t>(kRecordLength))
        throw std::invalid_argument("a record holds at least 305 characters");
    const char* date = record.data() + kEffectiveDate.offset;
    selectDecisionTable(target, tables, date);
    selectExclusionTable(target, tables, date);
    selectLevelTable(target, tables, date);
    return prepareRecord(target, tables, record.data(), record.size());
}

ClaimState LoadedRelease::freshState() const {
    ClaimState fresh;
    initClaimState(fresh, release);
    return fresh;
}

}  // namespace drg::testing

#pragma once
// A test release written to a scratch folder and loaded back the way the
// batch program loads it (count checks, bounds checks, decision-row fix-up),
// with a ClaimState sized for it: ready for in-process grouping steps.

#include <string>

#include "conditions/claim_state.h"
#include "engine/release.h"
#include "support/table_builder.h"
#include "support/test_files.h"
#include "tables/table_set.h"

namespace drg::testing {

struct LoadedRelease {
    // Throws std::runtime_error naming the file at fault when the release
    // does not load.
    explicit LoadedRelease(const TableBuilder& builder);
    ~LoadedRelease();
    LoadedRelease(const LoadedRelease&) = delete;
    LoadedRelease& operator=(const LoadedRelease&) = delete;

    // Selects the table versions of the record's date and prepares it into
    // `target` (the release's own state when omitted), as the driver does
    // before assigning the MDC. `record` is upper-cased in place. Returns the
    // result of prepareRecord.
    int prepare(std::string& record);
    int prepare(std::string& record, ClaimState& target) const;

    // A state sized for this release, as the driver makes at start.
    ClaimState freshState() const;

    TempDir dir;
    Release release;
    TableSet& tables = release.tables;
    ClaimState state;
};

}  // namespace drg::testing

#pragma once
// What the fuzz harnesses share: a small release that touches every table
// and every dated version, records that reach all of it, and the checks
// every grouped record must pass whatever the tables hold.

#include <string>
#include <vector>

#include "support/table_builder.h"

namespace drg::fuzz {

// What one input did: whether it got as far as grouping, and the first
// fault found ("" when none). A fuzz target stops on a fault.
struct FuzzOutcome {
    bool reachedGrouping = false;
    std::string fault;
};

testing::TableBuilder smallRelease();

// Records over the small release's codes: every table version, both sexes,
// a newborn, ventilation, a dagger/asterisk pair, lower case, unknown codes.
std::vector<std::string> probeRecords();

// A grouped record against the line it came from: same length, every byte
// outside the result columns the input's upper-cased, a PCCL digit 0 to 4
// and the date stamp. "" when all hold.
std::string checkGroupedRecord(const std::string& input, const std::string& output);

// A folder under the temporary directory that goes when the process ends.
std::string scratchFolder(const char* prefix);

}  // namespace drg::fuzz

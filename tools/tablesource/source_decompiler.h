#pragma once
// Turning a table set back into its source.

#include <cstdint>
#include <optional>
#include <string>

#include "tables/table_set.h"
#include "tablesource/source_text.h"
#include "tablesource/tool_limits.h"

namespace drg::source {

// The canonical source of any table set that loads. Building the result
// gives tables that group every record as `tables` does; what the grouper can
// never read is left out:
// - rows that no range reaches are dropped, and rows that several ranges
//   share are written once per range;
// - data of code ids that no code holds, partners and exclusions that can
//   never match, and the part of an exclusion list that its first and last
//   entries hide from the membership test are dropped;
// - versions of the level and exclusion tables that cover fewer codes or
//   ADRGs than the indices give no level (0) and no exclusion for the rest,
//   which the source states by leaving those out;
// - a code index that is not sorted is written as the codes that lookup
//   actually finds, and code ids are renumbered when that leaves ids beyond
//   the index;
// - a later version equal to the one before is not written;
// - MDC and ADRG entries beyond 32767, which no decision row can name, are
//   left out.
// Must-not-hold places that hold 0 or the condition count are both empty.
// Row ranges of a small table set may overlap so often that its source
// would be huge: past `mostBytes` (estimated as it is made) nothing more is
// made and the result is nullopt with `problem` saying so.
std::optional<Source> decompileTables(const TableSet& tables, uint64_t mostBytes, std::string* problem);
// The same without a limit.
Source decompileTables(const TableSet& tables);

}  // namespace drg::source

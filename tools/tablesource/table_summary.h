#pragma once
// A readable account of what a loaded table set holds.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tables/table_set.h"

namespace drg::source {

struct TableFileSummary {
    std::string file;                                     // "Tdx.idx"
    // Header counts by name, in header order; counts of codes, entries and
    // the like leave out entry 0, which holds none.
    std::vector<std::pair<std::string, int64_t>> counts;
    std::string inForce;                                  // dated versions: "20090101 to 20091231"; else ""
};

// What each of the 22 table files holds, in load order.
std::vector<TableFileSummary> summarizeTableFiles(const TableSet& tables);

// A line that says how codes are counted, then one line per table file:
// its counts by name, and for dated versions the dates on which the version
// is in force.
std::string summarizeTables(const TableSet& tables);

// Each count field that does not read as written: its file, and what it
// holds ("count field 1 holds 'abc' read as 0"). The loader takes such a
// field as it reads it, which may not be what whoever wrote the file meant.
std::vector<std::pair<std::string, std::string>> oddCountFields(const TableSet& tables);

}  // namespace drg::source

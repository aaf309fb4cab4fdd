#pragma once
// Compiling a table source into the 22 tables that the grouper loads.

#include <optional>
#include <string>

#include "tables/table_set.h"
#include "tablesource/source_text.h"

namespace drg::source {

// Validates the whole source, reporting every problem, then assigns ids,
// sorts the code indices and lays out every range, profile, count and
// header. Returns nullopt when any error was reported.
std::optional<TableSet> compileSource(const Source& source, Diagnostics& diagnostics);

// Checks a table set as the loader will: array sizes, the count
// cross-checks, the smallest condition count and every bound. False with
// `problem` naming the first file and field at fault.
bool passesLoadChecks(const TableSet& tables, std::string* problem);

// Reads, compiles and writes in one go: no table file is written unless the
// source is free of errors. Diagnostics name files relative to `sourceDir`.
bool buildTables(const std::string& sourceDir, const std::string& outputDir, Diagnostics& diagnostics);

}  // namespace drg::source

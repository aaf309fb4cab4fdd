#pragma once
// Compiling a table source into the 22 tables that the grouper loads.

#include <cstdint>
#include <optional>
#include <string>

#include "tables/table_set.h"
#include "tablesource/source_text.h"
#include "tablesource/tool_limits.h"

namespace drg::source {

struct CompileOptions {
    uint64_t mostFileBytes = kLargeFileBytes;  // largest table file (and level matrix) to build
    // Values that a release can store but no author means (a date that is no
    // calendar date, a level that is no digit 0 to 4, ...) are errors unless
    // this is set; then they are warnings and are written as they are, so
    // that the dump of any release that loads builds back.
    bool allowInvalid = false;
};

// Validates the whole source, reporting every problem, then assigns ids,
// sorts the code indices and lays out every range, profile, count and
// header. Returns nullopt when any error was reported.
std::optional<TableSet> compileSource(const Source& source, Diagnostics& diagnostics, const CompileOptions& options = {});

// Checks a table set as the loader will: array sizes, the count
// cross-checks, the smallest condition count and every bound. False with
// `problem` naming the first file and field at fault.
bool passesLoadChecks(const TableSet& tables, std::string* problem);

// The size of a table file as the writer writes it.
uint64_t tableFileBytes(const TableSet& tables, int file);

struct BuildOptions {
    bool allowLarge = false;    // no size limit on the files read and built
    bool allowInvalid = false;  // see CompileOptions
    bool strict = false;        // every warning is an error
};

struct BuildOutcome {
    bool built = false;
    bool outputUnchanged = true;  // on failure: the release in the output folder is as it was
};

// Reads, compiles and writes in one go, all or nothing: the 22 files are
// written beside `outputDir`, flushed and loaded back before they replace
// the files there. Diagnostics name source files relative to `sourceDir`
// and other paths as given.
BuildOutcome buildTables(const std::string& sourceDir, const std::string& outputDir, const BuildOptions& options,
                         Diagnostics& diagnostics);

}  // namespace drg::source

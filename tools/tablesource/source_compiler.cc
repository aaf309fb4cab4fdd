#include "tablesource/source_compiler.h"

#include "tables/table_bounds.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"
#include "tablesource/compile_checks.h"
#include "tablesource/compile_steps.h"
#include "tablesource/source_folder.h"
#include "tablesource/staged_folder.h"

namespace drg::source {

std::optional<TableSet> compileSource(const Source& source, Diagnostics& diagnostics, const CompileOptions& options) {
    CompileContext context{source, diagnostics, options};
    reportOldFileNames(context);
    Settings settings;
    compileSettings(context, settings);
    compileConditions(context, settings);
    compileCodeIndices(context);
    compileGroupLists(context, settings);
    compileDaggerAsterisk(context);
    compileCodeConditions(context);
    compileDecisionTables(context);
    compileRefinements(context);
    compileLevelTables(context);
    compileExclusionTables(context);
    compileSplits(context);
    reportUnusedEntries(context);
    if (diagnostics.hasErrors()) return std::nullopt;
    std::string problem;
    if (!passesLoadChecks(context.tables, &problem)) {
        diagnostics.errorAt("compiled tables", "would be refused by the loader: " + problem);
        return std::nullopt;
    }
    for (int file = 0; file < kTableFileCount; ++file)
        if (const uint64_t bytes = tableFileBytes(context.tables, file); bytes > options.mostFileBytes)
            diagnostics.errorAt(kTableFileNames[file], "would take " + mebibytes(bytes) + ", more than the " +
                                                           mebibytes(options.mostFileBytes) +
                                                           " allowed without --allow-large");
    if (diagnostics.hasErrors()) return std::nullopt;
    return std::move(context.tables);
}

bool passesLoadChecks(const TableSet& tables, std::string* problem) {
    for (int file = 0; file < kTableFileCount; ++file) {
        const std::string name = kTableFileNames[file];
        bool sized = true;
        forEachArray(tables, file, [&](const auto& array, size_t elements) { sized = sized && array.size() == elements; });
        if (!sized) {
            *problem = name + ": an array does not hold as many elements as its count says";
            return false;
        }
        std::string countProblem;
        if (checkFileCounts(tables, file, fileCounts(tables, file), &countProblem) != kLoadOk) {
            *problem = name + ": " + countProblem;
            return false;
        }
        std::string field;
        if (!tableFileWithinBounds(tables, file, &field)) {
            *problem = name + ": " + field;
            return false;
        }
    }
    return true;
}

uint64_t tableFileBytes(const TableSet& tables, int file) {
    uint64_t bytes = kHeaderSize;
    forEachArray(tables, file, [&](const auto& array, size_t elements) { bytes += elements * sizeof(array[0]); });
    return bytes;
}

BuildOutcome buildTables(const std::string& sourceDir, const std::string& outputDir, const BuildOptions& options,
                         Diagnostics& diagnostics) {
    const uint64_t limit = sizeLimit(options.allowLarge);
    if (options.strict) diagnostics.treatWarningsAsErrors();
    // Reading problems do not stop the compilation: every error of a run is reported.
    const Source source = readSourceFolder(sourceDir, diagnostics, limit, rowLimit(options.allowLarge));
    auto tables = compileSource(source, diagnostics, CompileOptions{limit, options.allowInvalid});
    if (!tables) return {};
    StagedFolder staged;
    std::string problem;
    if (!staged.open(outputDir, &problem)) {
        diagnostics.errorAt("", problem);
        return {};
    }
    if (!writeTableFiles(*tables, staged.path(), &problem)) {
        diagnostics.errorAt(outputDir, "a table file cannot be written beside it: " + problem);
        return {};
    }
    tables.reset();  // a large release need not be held twice
    // What the grouper will load, read back before it replaces anything.
    TableSet written;
    if (loadTables(written, staged.path(), &problem) != kLoadOk) {
        diagnostics.errorAt(outputDir, "the table files written beside it do not load back: " + problem);
        return {};
    }
    std::vector<std::string> names(kTableFileNames.begin(), kTableFileNames.end());
    BuildOutcome outcome;
    if (!staged.commit(names, &problem, &outcome.outputUnchanged)) {
        diagnostics.errorAt("", problem);
        return outcome;
    }
    outcome.built = true;
    return outcome;
}

}  // namespace drg::source

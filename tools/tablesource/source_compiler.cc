#include "tablesource/source_compiler.h"

#include <filesystem>

#include "tables/table_bounds.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"
#include "tablesource/compile_steps.h"
#include "tablesource/source_folder.h"

namespace drg::source {

std::optional<TableSet> compileSource(const Source& source, Diagnostics& diagnostics) {
    CompileContext context{source, diagnostics, {}, {}, {}, {}, {}, 0};
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
    if (diagnostics.hasErrors()) return std::nullopt;
    std::string problem;
    if (!passesLoadChecks(context.tables, &problem)) {
        diagnostics.error("(compiled tables)", 0, "would be refused by the loader: " + problem);
        return std::nullopt;
    }
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

bool buildTables(const std::string& sourceDir, const std::string& outputDir, Diagnostics& diagnostics) {
    // Reading problems do not stop the compilation: every error of a run is reported.
    const Source source = readSourceFolder(sourceDir, diagnostics);
    auto tables = compileSource(source, diagnostics);
    if (!tables) return false;
    std::error_code error;
    std::filesystem::create_directories(outputDir, error);
    std::string problem;
    if (error || !writeTableFiles(*tables, outputDir, &problem)) {
        diagnostics.error(outputDir, 0, error ? "cannot be created: " + error.message() : problem);
        return false;
    }
    return true;
}

}  // namespace drg::source

#include "tablesource/source_compiler.h"

#include <filesystem>

#include "tables/table_bounds.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"
#include "tablesource/compile_steps.h"
#include "tablesource/source_folder.h"

namespace drg::source {
namespace {

// The count field of an earlier file that a field of `file` must equal.
struct CountLink {
    int file, field, earlierFile;
};

constexpr CountLink kCountLinks[] = {
    {kFileDagAst, 0, kFileDxIdx},  {kFileCode, 0, kFileDxIdx},     {kFileCode, 1, kFileSgIdx},
    {kFileAdrg1, 0, kFileMdcIdx},  {kFileAdrg2, 0, kFileMdcIdx},   {kFileAdrg3, 0, kFileMdcIdx},
    {kFileAdrg4, 0, kFileMdcIdx},  {kFileAdrg5, 0, kFileMdcIdx},   {kFileAadrg, 0, kFileAdrgIdx},
    {kFileCcl2, 0, kFileDxIdx},    {kFileCcl2, 3, kFileAdrgIdx},   {kFilePccl, 0, kFileAadrgIdx},
};

}  // namespace

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
        const auto counts = fileCounts(tables, file);
        for (const auto& link : kCountLinks)
            if (link.file == file && counts[link.field] != fileCounts(tables, link.earlierFile)[0]) {
                *problem = name + ": count field " + std::to_string(link.field + 1) + " is " +
                           std::to_string(counts[link.field]) + " but " + kTableFileNames[link.earlierFile] +
                           " holds " + std::to_string(fileCounts(tables, link.earlierFile)[0]);
                return false;
            }
        for (int64_t count : counts)
            if (count < 0) {
                *problem = name + ": a count is negative";
                return false;
            }
        if (file == kFileCondIdx && counts[0] < kMinimumConditionCount) {
            *problem = name + ": fewer than " + std::to_string(kMinimumConditionCount) + " conditions";
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

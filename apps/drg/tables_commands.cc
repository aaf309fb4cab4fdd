// `drg tables build|dump|check`: the 22 binary table files from a readable
// source folder, a table set back to source, and what a table set holds.
#include <cstdio>
#include <memory>
#include <string>

#include "command.h"
#include "tables/condition_kinds.h"
#include "tables/table_loader.h"
#include "tablesource/source_compiler.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_folder.h"
#include "tablesource/table_summary.h"

namespace drg::cli {
namespace {

int buildTables(const std::string& sourceDir, const std::string& outputDir) {
    source::Diagnostics diagnostics;
    const bool built = source::buildTables(sourceDir, outputDir, diagnostics);
    for (const auto& d : diagnostics.all())
        std::fprintf(stderr, "%s\n", source::formatDiagnostic(d, sourceDir).c_str());
    if (!built) {
        std::fprintf(stderr, "%d error%s; no table file written\n", diagnostics.errorCount(),
                     diagnostics.errorCount() == 1 ? "" : "s");
        return kExitFailure;
    }
    std::printf("built 22 table files in %s\n", outputDir.c_str());
    return kExitOk;
}

int dumpTables(const std::string& tableDir, const std::string& sourceDir) {
    TableSet tables;
    std::string problem;
    const int loaded = loadTables(tables, tableDir, &problem);
    if (loaded != kLoadOk) {
        std::fprintf(stderr, "%s: tables do not load: %s", tableDir.c_str(), loadFailureLine(loaded));
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kExitFailure;
    }
    if (!source::writeSourceFolder(source::decompileTables(tables), sourceDir, &problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kExitFailure;
    }
    std::printf("wrote the source of %s to %s\n", tableDir.c_str(), sourceDir.c_str());
    return kExitOk;
}

int checkTables(const std::string& tableDir) {
    TableSet tables;
    std::string problem;
    const int loaded = loadTables(tables, tableDir, &problem);
    if (loaded != kLoadOk) {
        // The same console line as the batch program, the reason on its own line.
        std::fputs(loadFailureLine(loaded), stdout);
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kExitFailure;
    }
    std::printf("tables in %s load\n%s", tableDir.c_str(), source::summarizeTables(tables).c_str());
    const int mismatch = firstConditionKindMismatch(tables.conditions);
    if (mismatch >= 0) {
        std::fputs("logic setting missing or error\n", stdout);
        std::fprintf(stderr, "%s\n", conditionKindMismatchText(tables.conditions, mismatch).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

std::function<int()> attachTablesBuild(CLI::App& command) {
    auto dirs = std::make_shared<std::pair<std::string, std::string>>();
    command.add_option("SRC_DIR", dirs->first, "Folder of .tsv table sources")->required();
    command.add_option("OUT_DIR", dirs->second, "Folder to write the table files into (created when missing)")
        ->required();
    return [dirs] { return buildTables(dirs->first, dirs->second); };
}

std::function<int()> attachTablesDump(CLI::App& command) {
    auto dirs = std::make_shared<std::pair<std::string, std::string>>();
    command.add_option("TABLE_DIR", dirs->first, "Folder holding the 22 table files")->required();
    command.add_option("SRC_DIR", dirs->second, "Folder to write the .tsv sources into (created when missing)")
        ->required();
    return [dirs] { return dumpTables(dirs->first, dirs->second); };
}

std::function<int()> attachTablesCheck(CLI::App& command) {
    auto dir = std::make_shared<std::string>();
    command.add_option("TABLE_DIR", *dir, "Folder holding the 22 table files")->required();
    return [dir] { return checkTables(*dir); };
}

}  // namespace drg::cli

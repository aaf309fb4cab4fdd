// The companion tool of the grouper: builds the 22 binary table files from a
// readable source folder, dumps a table set back to source, and checks what
// a table set holds. Exit status 0 ok, 1 error, 2 wrong usage.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "tables/table_loader.h"
#include "tablesource/source_compiler.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_folder.h"
#include "tablesource/table_summary.h"

namespace {

constexpr int kOk = 0;
constexpr int kError = 1;
constexpr int kUsage = 2;

// The console line that drg-batch prints when loading fails.
const char* loadFailureLine(int result) {
    return result == drg::kLoadCountError ? " file count error \n" : " file init error \n";
}

int buildCommand(const std::string& sourceDir, const std::string& outputDir) {
    drg::source::Diagnostics diagnostics;
    const bool built = drg::source::buildTables(sourceDir, outputDir, diagnostics);
    for (const auto& d : diagnostics.all())
        std::fprintf(stderr, "%s\n", drg::source::formatDiagnostic(d, sourceDir).c_str());
    if (!built) {
        std::fprintf(stderr, "%d error%s; no table file written\n", diagnostics.errorCount(),
                     diagnostics.errorCount() == 1 ? "" : "s");
        return kError;
    }
    std::printf("built 22 table files in %s\n", outputDir.c_str());
    return kOk;
}

int dumpCommand(const std::string& tableDir, const std::string& sourceDir) {
    drg::TableSet tables;
    std::string problem;
    const int loaded = drg::loadTables(tables, tableDir, &problem);
    if (loaded != drg::kLoadOk) {
        std::fprintf(stderr, "%s: tables do not load: %s", tableDir.c_str(), loadFailureLine(loaded));
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kError;
    }
    if (!drg::source::writeSourceFolder(drg::source::decompileTables(tables), sourceDir, &problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kError;
    }
    std::printf("wrote the source of %s to %s\n", tableDir.c_str(), sourceDir.c_str());
    return kOk;
}

int checkCommand(const std::string& tableDir) {
    drg::TableSet tables;
    std::string problem;
    const int loaded = drg::loadTables(tables, tableDir, &problem);
    if (loaded != drg::kLoadOk) {
        // The same console line as the batch program, the reason on its own line.
        std::fputs(loadFailureLine(loaded), stdout);
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kError;
    }
    std::printf("tables in %s load\n%s", tableDir.c_str(), drg::source::summarizeTables(tables).c_str());
    const int mismatch = drg::source::firstConditionKindMismatch(tables);
    if (mismatch >= 0) {
        std::fputs("logic setting missing or error\n", stdout);
        std::fprintf(stderr,
                     "condition %d has kind '%c': 782-823 and 853 must be 'l', all others 't'; the grouper stops at "
                     "the first record\n",
                     mismatch, tables.conditions.conditionKind[static_cast<size_t>(mismatch)]);
        return kError;
    }
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Table tools of the DRG grouper: build, dump and check table releases"};
    app.set_version_flag("--version", "drg 1.0 (table source format 1)");
    app.require_subcommand(1);
    CLI::App* tables = app.add_subcommand("tables", "Work with the 22 binary table files of a release");
    tables->require_subcommand(1);

    std::string sourceDir, tableDir;
    CLI::App* build = tables->add_subcommand("build", "Compile a source folder into the 22 table files");
    build->add_option("SRC_DIR", sourceDir, "Folder of .tsv table sources")->required();
    build->add_option("OUT_DIR", tableDir, "Folder to write the table files into (created when missing)")->required();

    CLI::App* dump = tables->add_subcommand("dump", "Write the source of a table set");
    dump->add_option("TABLE_DIR", tableDir, "Folder holding the 22 table files")->required();
    dump->add_option("SRC_DIR", sourceDir, "Folder to write the .tsv sources into (created when missing)")->required();

    CLI::App* check = tables->add_subcommand("check", "Load a table set as the grouper does and say what it holds");
    check->add_option("TABLE_DIR", tableDir, "Folder holding the 22 table files")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }
    if (build->parsed()) return buildCommand(sourceDir, tableDir);
    if (dump->parsed()) return dumpCommand(tableDir, sourceDir);
    if (check->parsed()) return checkCommand(tableDir);
    return kUsage;
}

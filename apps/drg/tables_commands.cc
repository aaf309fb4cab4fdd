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
#include "tablesource/source_labels.h"
#include "tablesource/table_folder.h"
#include "tablesource/table_summary.h"

namespace drg::cli {
namespace {

using source::printable;

struct BuildArguments {
    std::string sourceDir, outputDir;
    bool allowLarge = false, allowInvalid = false, strict = false;
};

struct DumpArguments {
    std::string tableDir, sourceDir, labelsFrom;
    bool force = false, allowLarge = false;
};

void printError(const std::string& line) { std::fprintf(stderr, "%s\n", printable(line).c_str()); }

// " file init error " without its blanks and line end.
std::string loadFailureName(int result) {
    std::string line = loadFailureLine(result);
    const size_t first = line.find_first_not_of(' '), last = line.find_last_not_of(" \n");
    return line.substr(first, last - first + 1);
}

int buildTables(const BuildArguments& a) {
    source::Diagnostics diagnostics;
    const auto outcome =
        source::buildTables(a.sourceDir, a.outputDir, {a.allowLarge, a.allowInvalid, a.strict}, diagnostics);
    for (const auto& d : diagnostics.all()) std::fprintf(stderr, "%s\n", source::formatDiagnostic(d, a.sourceDir).c_str());
    for (const auto& line : source::notShownLines(diagnostics)) printError(line);
    if (!outcome.built) {
        const int errors = diagnostics.errorCount();
        printError(std::to_string(errors) + (errors == 1 ? " error; " : " errors; ") +
                   (outcome.outputUnchanged ? "no table file written"
                                            : a.outputDir + " may hold old and new table files, see above"));
        return kExitFailure;
    }
    std::printf("built 22 table files in %s\n", printable(a.outputDir).c_str());
    return kExitOk;
}

int dumpTables(const DumpArguments& a) {
    const uint64_t limit = source::sizeLimit(a.allowLarge);
    std::string problem;
    if (source::checkTableFolder(a.tableDir, limit, &problem) != source::TableFolderCheck::Usable) {
        printError(problem);
        return kExitFailure;
    }
    TableSet tables;
    const int loaded = loadTables(tables, a.tableDir, &problem);
    if (loaded != kLoadOk) {
        printError("tables do not load (" + loadFailureName(loaded) + "): " + source::inFolder(a.tableDir, problem));
        return kExitFailure;
    }
    auto dumped = source::decompileTables(tables, limit, &problem);
    if (!dumped) {
        printError(a.tableDir + ": " + problem);
        return kExitFailure;
    }
    if (!a.labelsFrom.empty()) {
        source::Diagnostics diagnostics;
        const source::Source labelled =
            source::readSourceFolder(a.labelsFrom, diagnostics, limit, source::rowLimit(a.allowLarge));
        if (diagnostics.hasErrors()) {
            for (const auto& d : diagnostics.all())
                if (!d.warning) printError(source::formatDiagnostic(d, a.labelsFrom));
            printError("no labels taken from " + a.labelsFrom + "; nothing written");
            return kExitFailure;
        }
        dumped = source::withRemarksFrom(*dumped, labelled);
    }
    if (!source::writeSourceFolder(*dumped, a.sourceDir, a.force, &problem)) {
        printError(problem);
        return kExitFailure;
    }
    std::printf("wrote the source of %s to %s\n", printable(a.tableDir).c_str(), printable(a.sourceDir).c_str());
    return kExitOk;
}

int checkTables(const std::string& tableDir) {
    TableSet tables;
    std::string problem;
    int loaded = kLoadInitError;
    // A FIFO among the files would block the loader for good; say what it is instead.
    const auto folder = source::checkTableFolder(tableDir, source::kNoSizeLimit, &problem);
    if (folder == source::TableFolderCheck::NotAFolder) {  // no batch run could start there
        printError(problem);
        return kExitFailure;
    }
    if (folder == source::TableFolderCheck::Usable) {
        loaded = loadTables(tables, tableDir, &problem);
        if (loaded != kLoadOk) problem = source::inFolder(tableDir, problem);
    }
    if (loaded != kLoadOk) {
        // The same console line as the batch program, the reason on its own line.
        std::fputs(loadFailureLine(loaded), stdout);
        printError(problem);
        return kExitFailure;
    }
    std::printf("tables in %s load\n%s", printable(tableDir).c_str(), source::summarizeTables(tables).c_str());
    // The loader reads such a field as the batch program does; say what it made of it.
    for (const auto& [file, reading] : source::oddCountFields(tables))
        printError(source::inFolder(tableDir, file + ": warning: " + reading));
    const int mismatch = firstConditionKindMismatch(tables.conditions);
    if (mismatch >= 0) {
        std::fputs("logic setting missing or error\n", stdout);
        printError(source::inFolder(tableDir, conditionKindMismatchText(tables.conditions, mismatch)));
        return kExitFailure;
    }
    return kExitOk;
}

void addLargeFlag(CLI::App& command, bool& flag) {
    command.add_flag("--allow-large", flag,
                     "Accept files and a complication level matrix larger than 256 MiB (refused by default)");
}

}  // namespace

std::function<int()> attachTablesBuild(CLI::App& command) {
    auto a = std::make_shared<BuildArguments>();
    command.add_option("SRC_DIR", a->sourceDir, "Folder of .tsv table sources")->required()->check(namedFolder());
    command.add_option("OUT_DIR", a->outputDir,
                       "Folder to write the table files into (created when missing); its table files are replaced "
                       "all at once or not at all")
        ->required()
        ->check(namedFolder());
    addLargeFlag(command, a->allowLarge);
    auto* invalid = command.add_flag("--allow-invalid", a->allowInvalid,
                                     "Report values that no author means (a date that is no calendar date, a level "
                                     "outside 0-4, ...) as warnings and build them as written, as a dump of any "
                                     "release that loads needs");
    command.add_flag("--strict", a->strict, "Treat every warning as an error")->excludes(invalid);
    return [a] { return buildTables(*a); };
}

std::function<int()> attachTablesDump(CLI::App& command) {
    auto a = std::make_shared<DumpArguments>();
    command.add_option("TABLE_DIR", a->tableDir, "Folder holding the 22 table files")->required()->check(namedFolder());
    command.add_option("SRC_DIR", a->sourceDir, "Folder to write the .tsv sources into: a new or empty one")
        ->required()
        ->check(namedFolder());
    command.add_flag("--force", a->force,
                     "Write into a folder that is not empty: replace the source files there, leave other files alone");
    command.add_option("--labels-from", a->labelsFrom,
                       "A source of the same release whose labels, notes, comments and order the dump takes over, "
                       "so that the two compare as a readable diff")
        ->check(namedFolder());
    addLargeFlag(command, a->allowLarge);
    return [a] { return dumpTables(*a); };
}

std::function<int()> attachTablesCheck(CLI::App& command) {
    auto dir = std::make_shared<std::string>();
    command.add_option("TABLE_DIR", *dir, "Folder holding the 22 table files")->required()->check(namedFolder());
    return [dir] { return checkTables(*dir); };
}

}  // namespace drg::cli

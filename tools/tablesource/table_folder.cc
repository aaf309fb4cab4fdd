#include "tablesource/table_folder.h"

#include <filesystem>

#include "tables/table_files.h"
#include "tablesource/diagnostics.h"
#include "tablesource/file_access.h"
#include "tablesource/source_layout.h"

namespace drg::source {
namespace {

bool holdsSourceFiles(const std::string& directory) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        if (identifySourceFile(it->path().filename().string())) return true;
    return false;
}

}  // namespace

TableFolderCheck checkTableFolder(const std::string& directory, uint64_t mostBytes, std::string* problem) {
    std::error_code error;
    if (!std::filesystem::is_directory(directory.empty() ? "." : directory, error)) {
        *problem = printable(directory) + ": is not a folder";
        return TableFolderCheck::NotAFolder;
    }
    std::string reason;
    if (checkRegularFile(joinPath(directory, kTableFileNames[0]), mostBytes, &reason) == FileCheck::Missing &&
        holdsSourceFiles(directory)) {
        *problem = printable(directory) + ": holds a table source (.tsv files), not table files; drg tables build " +
                   printable(directory) + " OUT_DIR makes them";
        return TableFolderCheck::HoldsSource;
    }
    for (const char* name : kTableFileNames)
        if (checkRegularFile(joinPath(directory, name), mostBytes, &reason) == FileCheck::Refused) {
            *problem = printable(joinPath(directory, name)) + ": " + reason;
            return TableFolderCheck::Refused;
        }
    return TableFolderCheck::Usable;
}

std::string inFolder(const std::string& directory, const std::string& loaderProblem) {
    return printable(joinPath(directory, loaderProblem));
}

}  // namespace drg::source

#include "tablesource/table_folder.h"

#include "tables/table_files.h"
#include "tablesource/diagnostics.h"
#include "tablesource/file_access.h"

namespace drg::source {

bool checkTableFolder(const std::string& directory, uint64_t mostBytes, std::string* problem) {
    for (const char* name : kTableFileNames) {
        std::string reason;
        if (checkRegularFile(joinPath(directory, name), mostBytes, &reason) == FileCheck::Refused) {
            *problem = printable(joinPath(directory, name)) + ": " + reason;
            return false;
        }
    }
    return true;
}

}  // namespace drg::source

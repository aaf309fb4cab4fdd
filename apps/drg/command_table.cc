#include <cstring>

#include "command.h"

namespace drg::cli {

std::function<int()> attachTablesBuild(CLI::App& command);
std::function<int()> attachTablesDump(CLI::App& command);
std::function<int()> attachTablesCheck(CLI::App& command);
std::function<int()> attachServe(CLI::App& command);

const std::vector<CommandEntry>& commandTable() {
    static const std::vector<CommandEntry> table = {
        {{"tables", "build"}, "Compile a source folder into the 22 table files", attachTablesBuild},
        {{"tables", "dump"}, "Write the source of a table set", attachTablesDump},
        {{"tables", "check"}, "Load a table set as the grouper does and say what it holds", attachTablesCheck},
        {{"serve"}, "Group single stays on a web page and through a JSON API", attachServe},
    };
    return table;
}

const char* groupDescription(const char* group) {
    if (std::strcmp(group, "tables") == 0) return "Work with the 22 binary table files of a release";
    return "";
}

}  // namespace drg::cli

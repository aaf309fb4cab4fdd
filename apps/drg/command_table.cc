#include <cstring>

#include "command.h"

namespace drg::cli {

std::function<int()> attachTablesBuild(CLI::App& command);
std::function<int()> attachTablesDump(CLI::App& command);
std::function<int()> attachTablesCheck(CLI::App& command);
std::function<int()> attachSynth(CLI::App& command);
std::function<int()> attachDiff(CLI::App& command);
std::function<int()> attachGroup(CLI::App& command);
std::function<int()> attachExplain(CLI::App& command);
std::function<int()> attachServe(CLI::App& command);

const std::vector<CommandEntry>& commandTable() {
    static const std::vector<CommandEntry> table = {
        {{"group"}, "Group records from a file or a pipe: the bytes drg-batch writes, with a summary", attachGroup},
        {{"explain"}, "Show how the result of each record came about", attachExplain},
        {{"tables", "build"}, "Compile a source folder into the 22 table files", attachTablesBuild},
        {{"tables", "dump"}, "Write the source of a table set", attachTablesDump},
        {{"tables", "check"}, "Load a table set as the grouper does and say what it holds", attachTablesCheck},
        {{"synth"}, "Write a made-up national-scale release and records for it", attachSynth},
        {{"diff"}, "Group the same records under two releases and report what changed", attachDiff},
        {{"serve"}, "Group single stays on a web page and through a JSON API", attachServe},
    };
    return table;
}

const char* groupDescription(const char* group) {
    if (std::strcmp(group, "tables") == 0) return "Work with the 22 binary table files of a release";
    return "";
}

}  // namespace drg::cli

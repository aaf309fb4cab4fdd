#pragma once
// `drg group` and `drg explain` as a user runs them: a folder holding a
// release, an input and what drg-batch wrote for it, and shell command lines
// (pipes, redirections) run in that folder.

#include <random>
#include <string>
#include <vector>

#include "batch/batch_test_support.h"
#include "e2e/driver_support.h"
#include "support/test_files.h"

namespace drg::testing {

inline const std::string kDrg = DRG_TOOL_PATH;

// Runs `command` with bash in `directory`; "drg" at the start of a word is
// the built tool.
inline ProcessResult runShell(const std::string& directory, const std::string& command) {
    std::string expanded;
    for (size_t i = 0; i < command.size(); ++i) {
        const bool wordStart = i == 0 || command[i - 1] == ' ' || command[i - 1] == '|';
        if (wordStart && command.compare(i, 4, "drg ") == 0) {
            expanded += kDrg + " ";
            i += 3;
        } else {
            expanded += command[i];
        }
    }
    return runProgram("/bin/bash", directory, {"-c", expanded});
}

// A folder with the grouping release, `lines` as "in.txt" and as
// "valtic.in", and drg-batch's "valtic.out" for them.
class GroupedInput {
public:
    GroupedInput(const TableBuilder& release, const std::vector<std::string>& lines) {
        release.write(dir.path());
        input = joined(lines);
        writeFile(dir.file("in.txt"), input);
        writeFile(dir.file("valtic.in"), input);
        const ProcessResult batch = runBatchProgram(dir.path());
        batchStatus = batch.exitStatus;
        batchOutput = readFile(dir.file("valtic.out"));
    }

    TempDir dir;
    std::string input;
    int batchStatus = -1;
    std::string batchOutput;
};

// The lines of an output, each without its line end.
inline std::vector<std::string> outputLines(const std::string& output) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace drg::testing

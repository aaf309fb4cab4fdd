#pragma once
// In-process batch runs for the batch tests: a release and an input in a
// scratch folder, the run with a chosen worker count and file seam, and what
// it printed, wrote and returned.

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "drg/grouper.h"
#include "e2e/driver_support.h"
#include "support/record_builder.h"

namespace drg::testing {

struct BatchOutcome {
    int status = -1;
    std::string console;
    std::string output;
};

inline BatchOutcome runBatchInProcess(const std::string& directory, int workers, FileIo* io = nullptr) {
    std::FILE* console = std::tmpfile();
    BatchOptions options;
    options.workers = workers;
    options.io = io;
    options.console = console;
    BatchOutcome outcome;
    outcome.status = runBatch(directory, options);
    std::fflush(console);
    std::rewind(console);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, console)) > 0) outcome.console.append(buffer, n);
    std::fclose(console);
    if (fileExists(directory + "/valtic.out")) outcome.output = readFile(directory + "/valtic.out");
    return outcome;
}

// The output the batch must write: each line grouped on its own by the
// library, a line longer than the read window included.
inline std::string groupedOneByOne(const std::string& directory, const std::vector<std::string>& lines) {
    OpenedRelease opened = openRelease(directory);
    if (!opened.release) return "release refused: " + opened.reason;
    Worker worker(opened.release);
    std::string all, out;
    for (const auto& line : lines) {
        worker.groupLine(line, out);
        all += out;
    }
    return all;
}

inline std::string progressLines(size_t records) {
    std::string lines;
    for (size_t n = 10000; n <= records; n += 10000) lines += "record_count = [" + std::to_string(n) + "]\n";
    return lines;
}

// Lines of every kind a batch meets: records that group and records that do
// not, short and empty lines, CR LF, NUL bytes, lower case, overlong lines;
// the last one without a line end.
inline std::vector<std::string> mixedLines(std::mt19937& rng, size_t count) {
    const std::vector<std::string> grouping = {
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).text(),
        RecordBuilder().birthDate("100615").sex('4').date("20120615").diagnoses({"g40.0"}).text(),
        RecordBuilder().birthDate("900101").sex('2').date("20080301").diagnoses({"G40.0", "E11"}).text(),
    };
    std::vector<std::string> lines;
    for (size_t i = 0; i < count; ++i) {
        std::string text;
        switch (rng() % 8) {
        case 0: text = std::string(rng() % 320, 'x'); break;
        case 1: text = grouping[rng() % grouping.size()] + std::string(rng() % 40, 'z'); break;
        case 2: text = std::string(305 + rng() % 3000, 'q'); break;
        case 3: text = grouping[rng() % grouping.size()].substr(0, 100 + rng() % 205); break;
        default: text = grouping[rng() % grouping.size()]; break;
        }
        if (rng() % 50 == 0 && !text.empty()) text[rng() % text.size()] = '\0';
        lines.push_back(text + (rng() % 10 == 0 ? "\r\n" : "\n"));
    }
    lines.back().pop_back();  // the last line ends without its line end
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    return lines;
}

}  // namespace drg::testing

// `drg explain`: how the result of each chosen record came about, as the
// grouping steps reported it, for people or as one JSON object per line.
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "batch/file_io.h"
#include "batch/line_pipeline.h"
#include "command.h"
#include "command_io.h"
#include "drg/explain.h"
#include "drg/grouper.h"
#include "report/explanation_json.h"
#include "report/explanation_text.h"

namespace drg::cli {
namespace {

struct ExplainOptions {
    std::string tables;
    std::string input = "-";
    std::vector<long> lines;
    bool json = false;
};

int fail(const std::string& line) {
    std::fprintf(stderr, "drg explain: %s\n", line.c_str());
    return kExitFailure;
}

struct LineReader {
    std::FILE* file;
    char* buffer = nullptr;
    size_t capacity = 0;
    ~LineReader() { std::free(buffer); }
    // The next line with its line end, or -1 at the end or on an error.
    ssize_t next() { return getline(&buffer, &capacity, file); }
};

// The record a line is grouped as: a line longer than the read window is
// grouped by its first window, as drg group does.
std::string_view recordOf(const char* line, size_t length) {
    return {line, std::min(length, kReadWindow)};
}

int explain(const ExplainOptions& options) {
    const OpenedRelease opened = openRelease(options.tables);
    if (!opened.release) return fail("tables in " + options.tables + " refused: " + opened.reason);
    std::string reason;
    if (!releaseGroupsRecords(*opened.release, &reason))
        return fail("tables in " + options.tables + " group no record: " + reason);

    const bool stdinInput = isStandardStream(options.input);
    std::FILE* in = stdinInput ? stdin : std::fopen(options.input.c_str(), "rb");
    if (!in) return fail("cannot open input " + options.input + ": " + std::strerror(errno));
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(stdinInput ? nullptr : in, [](std::FILE* f) {
        return std::fclose(f);
    });
    // Standard output appended to the input would be read back without end.
    if (sameOpenRegularFile(fileno(in), STDOUT_FILENO)) return fail("output standard output is the input");

    const std::set<long> chosen(options.lines.begin(), options.lines.end());
    const long lastChosen = chosen.empty() ? 0 : *chosen.rbegin();
    Worker worker(opened.release);
    Explanation explanation;
    LineReader reader{in};
    long lineNumber = 0, explained = 0;
    for (ssize_t length; (chosen.empty() || lineNumber < lastChosen) && (length = reader.next()) >= 0;) {
        ++lineNumber;
        if (!chosen.empty() && !chosen.count(lineNumber)) continue;
        worker.explainLine(recordOf(reader.buffer, static_cast<size_t>(length)), explanation);
        const std::string text = options.json
                                     ? report::dumpLine(report::explanationJson(explanation, lineNumber)) + "\n"
                                     : (explained++ ? "\n" : "") + report::explanationText(explanation, lineNumber);
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
            if (errno == EPIPE) return kExitFailure;  // the reader downstream went away
            return fail(std::string("cannot write standard output: ") + std::strerror(errno));
        }
    }
    if (std::ferror(in)) return fail("cannot read input " + inputName(options.input) + ": " + std::strerror(errno));
    if (lineNumber < lastChosen)
        return fail(inputName(options.input) + " has " + std::to_string(lineNumber) + " lines; no line " +
                    std::to_string(lastChosen));
    return kExitOk;
}

}  // namespace

std::function<int()> attachExplain(CLI::App& command) {
    auto options = std::make_shared<ExplainOptions>();
    command.add_option("--tables", options->tables, "Folder holding the 22 table files")->required();
    command.add_option("INPUT", options->input, "Records, one per line (default: standard input)");
    command.add_option("--line", options->lines, "Explain only this 1-based line (repeatable; default: every line)")
        ->check(CLI::Validator(
            [](std::string& text) {
                char* end = nullptr;
                errno = 0;
                const long n = std::strtol(text.c_str(), &end, 10);
                if (errno == ERANGE) return "line " + text + " is beyond any input";
                return *end == '\0' && n >= 1 ? std::string() : "line numbers start at 1, not " + text;
            },
            "LINE"))
        ->allow_extra_args(false)  // one number per --line, so that INPUT may follow
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command.add_flag("--json", options->json, "One JSON object per record, one per line");
    return [options] { return explain(*options); };
}

}  // namespace drg::cli

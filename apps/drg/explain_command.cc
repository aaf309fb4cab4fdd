// `drg explain`: how the result of each chosen record came about, as the
// grouping steps reported it, for people or as one JSON object per line.
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
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

// Reads the input line by line and keeps of each line its first read
// window: a longer line is grouped by that window, as drg group does, and
// memory stays flat however long a line is. A NUL is a byte like any other.
// It reads what the descriptor has, so a line typed or piped in slowly is
// explained as soon as it ends.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    // The kept bytes of the next line, with its line end when it fits; -1 at
    // the end of the input or on an error (error() then says which).
    ssize_t next() {
        line_.clear();
        for (bool any = false;; any = true) {
            if (at_ == end_ && !refill()) return any ? static_cast<ssize_t>(line_.size()) : -1;
            const char* from = chunk_.data() + at_;
            const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', end_ - at_));
            const size_t taken = lineEnd ? static_cast<size_t>(lineEnd - from) + 1 : end_ - at_;
            line_.append(from, std::min(taken, kReadWindow - std::min(kReadWindow, line_.size())));
            at_ += taken;
            if (lineEnd) return static_cast<ssize_t>(line_.size());
        }
    }
    const char* data() const { return line_.data(); }
    int error() const { return error_; }

private:
    bool refill() {
        ssize_t got;
        do got = ::read(fd_, chunk_.data(), chunk_.size());
        while (got < 0 && errno == EINTR);
        if (got < 0) error_ = errno;
        at_ = 0;
        end_ = got > 0 ? static_cast<size_t>(got) : 0;
        return got > 0;
    }

    int fd_;
    std::vector<char> chunk_ = std::vector<char>(size_t{64} << 10);
    size_t at_ = 0, end_ = 0;
    std::string line_;
    int error_ = 0;
};

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
    LineReader reader(fileno(in));
    long lineNumber = 0, explained = 0;
    for (ssize_t length; (chosen.empty() || lineNumber < lastChosen) && (length = reader.next()) >= 0;) {
        ++lineNumber;
        if (!chosen.empty() && !chosen.count(lineNumber)) continue;
        worker.explainLine({reader.data(), static_cast<size_t>(length)}, explanation);
        const std::string text = options.json
                                     ? report::dumpLine(report::explanationJson(explanation, lineNumber)) + "\n"
                                     : (explained++ ? "\n" : "") + report::explanationText(explanation, lineNumber);
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
            if (errno == EPIPE) return kExitFailure;  // the reader downstream went away
            return fail(std::string("cannot write standard output: ") + std::strerror(errno));
        }
    }
    if (reader.error())
        return fail("cannot read input " + inputName(options.input) + ": " + std::strerror(reader.error()));
    if (lineNumber < lastChosen)
        return fail(inputName(options.input) + " has " + std::to_string(lineNumber) + " lines; no line " +
                    std::to_string(lastChosen));
    return kExitOk;
}

}  // namespace

std::function<int()> attachExplain(CLI::App& command) {
    auto options = std::make_shared<ExplainOptions>();
    addTablesOption(command, options->tables);
    command.add_option("INPUT", options->input, "Records, one per line (default: standard input)")
        ->check(namedFile());
    command.add_option("--line", options->lines, "Explain only this 1-based line (repeatable; default: every line)")
        ->transform(CLI::Validator(
            [](std::string& text) {
                long n = 0;
                const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
                if (error == std::errc::result_out_of_range) return "line " + text + " is beyond any input";
                if (error != std::errc() || end != text.data() + text.size() || n < 1)
                    return "line numbers start at 1, not " + text;
                text = std::to_string(n);  // read as decimal: "010" is line 10
                return std::string();
            },
            "LINE"))
        ->allow_extra_args(false)  // one number per --line, so that INPUT may follow
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command.add_flag("--json", options->json, "One JSON object per record, one per line");
    return [options] { return explain(*options); };
}

}  // namespace drg::cli

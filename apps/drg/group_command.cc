// `drg group`: records from a file or a pipe grouped into exactly the bytes
// drg-batch writes, on several threads with their order kept, with progress
// on a terminal and a summary of the results.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/grouping_worker.h"
#include "batch/line_pipeline.h"
#include "command.h"
#include "command_io.h"
#include "drg/grouper.h"
#include "record/record_layout.h"
#include "report/run_summary.h"
#include "stop_between_writes.h"

namespace drg::cli {
namespace {

using Clock = std::chrono::steady_clock;

struct GroupOptions {
    std::string tables;
    std::string input = "-";
    std::string output = "-";
    int jobs = 0;
    bool quiet = false;
    bool summary = false;
    std::string summaryJson;
};

// Counts what one worker grouped; merged once the run is over.
class SummaryTally final : public RecordObserver {
public:
    void recordGrouped(const ClaimState&, const char* record, size_t) override {
        summary.add({record + kMdcOut.offset, static_cast<size_t>(kMdcOut.width)}, record[kPcclOut.offset],
                    {record + kDrgOut.offset, static_cast<size_t>(kDrgOut.width)});
    }
    report::RunSummary summary;
};

// One line on a terminal's standard error, rewritten a few times a second.
class Progress {
public:
    Progress(bool shown, Clock::time_point start, long long inputBytes)
        : shown_(shown), start_(start), inputBytes_(inputBytes) {}

    void update(uint64_t records, uint64_t bytesRead) {
        if (!shown_) return;
        const Clock::time_point now = Clock::now();
        if (now - lastShown_ < std::chrono::milliseconds(250)) return;
        lastShown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        std::fprintf(stderr, "\r%llu records, %.0f records/s", static_cast<unsigned long long>(records),
                     seconds > 0 ? static_cast<double>(records) / seconds : 0.0);
        if (inputBytes_ > 0)
            std::fprintf(stderr, ", %.1f%%", 100.0 * static_cast<double>(bytesRead) / static_cast<double>(inputBytes_));
        std::fputs("\033[K", stderr);
        std::fflush(stderr);
    }

    void clear() {
        if (shown_ && lastShown_ != Clock::time_point{}) std::fputs("\r\033[K", stderr);
    }

    // Records written to a terminal would land behind the line, which is
    // not ended, and it over them: it is left out then.
    void leaveOutFor(int outputFd) {
        if (shown_ && isatty(outputFd)) shown_ = false;
    }

private:
    bool shown_;
    Clock::time_point start_;
    long long inputBytes_;  // 0 when unknown (a pipe)
    Clock::time_point lastShown_{};
};

// Writes the jobs in input order, starts writing them out behind it, and
// counts them.
class OutputSink final : public JobSink {
public:
    // The output may still be opening: the first job waits for it.
    OutputSink(OutputFile& output, Progress& progress, StopBetweenWrites& stop)
        : output_(output), progress_(progress), stop_(stop) {}

    bool consume(const Job& job) override {
        OutputWrite written;
        {
            const auto whole = stop_.beginWrite();  // a stop by signal comes between two writes
            written = output_.write(job.outputData(), job.outputLength);
        }
        if (written != OutputWrite::Written) {
            writeFailed = written == OutputWrite::Failed;
            return false;
        }
        if (bytesRead == 0) progress_.leaveOutFor(output_.descriptor());
        records += groupedRecords(job);
        bytesRead += job.input.size();
        progress_.update(records, bytesRead);
        if (job.refusedPiece >= 0) {
            refused = true;
            return false;
        }
        return true;
    }

    uint64_t records = 0;
    uint64_t bytesRead = 0;
    bool writeFailed = false;
    bool refused = false;

private:
    OutputFile& output_;
    Progress& progress_;
    StopBetweenWrites& stop_;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

int fail(const std::string& line) {
    std::fprintf(stderr, "drg group: %s\n", line.c_str());
    return kExitFailure;
}

std::string errorText(int error) { return error ? std::strerror(error) : "unknown error"; }

// The bytes of a regular file, 0 for a pipe or a terminal.
long long regularFileSize(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : 0;
}

// Why the input (open as `in`) and the files to be written cannot go
// together, or "" when they can: each such run would lose records or mix
// outputs before a byte is read.
std::string pathConflict(const GroupOptions& options, int in) {
    if (isOpenDirectory(in)) return "cannot open input " + inputName(options.input) + ": " + errorText(EISDIR);
    const bool stdoutOutput = isStandardStream(options.output);
    if (stdoutOutput ? sameOpenRegularFile(in, STDOUT_FILENO) : namesOpenRegularFile(in, options.output))
        return "output " + outputName(options.output) + " is the input";
    for (const std::string* written : {&options.output, &options.summaryJson})
        if (!isStandardStream(*written))
            if (const char* table = tableFileNamedBy(*written, options.tables))
                return *written + " is table file " + table + " of the tables in " + options.tables;
    if (options.summaryJson.empty()) return "";
    const std::string summary = "summary " + outputName(options.summaryJson);
    if (isStandardStream(options.summaryJson)) {
        // The output is a file here: standard output on it (or on the
        // input) would write the summary over the records.
        if (sameOpenRegularFile(in, STDOUT_FILENO)) return summary + " is the input";
        if (namesOpenRegularFile(STDOUT_FILENO, options.output)) return summary + " is the output";
        return "";
    }
    if (namesOpenRegularFile(in, options.summaryJson)) return summary + " is the input";
    // Standard output on the summary is found once the summary is open.
    if (!stdoutOutput && namesSameFile(options.summaryJson, options.output)) return summary + " is the output";
    return "";
}

int group(const GroupOptions& options) {
    const bool summaryToStdout = options.summaryJson == "-";
    if (summaryToStdout && isStandardStream(options.output)) {
        std::fprintf(stderr,
                     "drg group: --summary-json - and the grouped records would both go to standard output; "
                     "write one of them to a file\n");
        return kExitUsage;
    }
    const OpenedRelease opened = openRelease(options.tables);
    if (!opened.release) return fail("tables in " + options.tables + " refused: " + opened.reason);
    std::string reason;
    if (!releaseGroupsRecords(*opened.release, &reason))
        return fail("tables in " + options.tables + " group no record: " + reason);

    ErrorKeepingIo io;
    const bool stdinInput = isStandardStream(options.input), stdoutOutput = isStandardStream(options.output);
    const int in = stdinInput ? STDIN_FILENO : io.open(options.input, OpenMode::Read);
    if (in < 0) return fail("cannot open input " + options.input + ": " + errorText(errno));
    // Nothing is opened for writing before these are ruled out.
    if (const std::string conflict = pathConflict(options, in); !conflict.empty()) return fail(conflict);
    // Opened before the run, so that a summary that cannot be written fails
    // at once, and before the output, which it would otherwise leave emptied.
    // What it held stays until the new summary is written.
    std::unique_ptr<std::FILE, FileCloser> summaryFile;
    std::FILE* summaryJson = summaryToStdout ? stdout : nullptr;
    if (!options.summaryJson.empty() && !summaryToStdout) {
        summaryFile.reset(openReportKeepingOld(options.summaryJson));
        summaryJson = summaryFile.get();
        if (!summaryJson) return fail("cannot open summary " + options.summaryJson + ": " + errorText(errno));
        // Standard output redirected to the summary, or /dev/stdout with the
        // records on a pipe.
        if (stdoutOutput && sameStream(summaryJson, STDOUT_FILENO))
            return fail("summary " + options.summaryJson + " is the output");
    }
    // Before any thread starts, so that they all leave the signals to it.
    StopBetweenWrites stop;
    // The output opens while the first records are grouped (truncating a
    // large old output takes a while), but only once the tables have been
    // accepted: tables that are refused leave the old output as it was.
    OutputFile output = stdoutOutput ? OutputFile(io, STDOUT_FILENO) : OutputFile(io, options.output);

    const bool counting = options.summary || summaryJson;
    const int workerCount = batchWorkerCount(options.jobs);
    std::vector<SummaryTally> tallies(counting ? static_cast<size_t>(workerCount) : 0);
    std::vector<std::unique_ptr<GroupingWorker>> workers;
    std::vector<JobWorker*> workerList;
    for (int i = 0; i < workerCount; ++i) {
        workers.push_back(std::make_unique<GroupingWorker>(
            *opened.release, counting ? &tallies[static_cast<size_t>(i)] : nullptr));
        workerList.push_back(workers.back().get());
    }

    const Clock::time_point start = Clock::now();
    Progress progress(!options.quiet && isatty(STDERR_FILENO), start, regularFileSize(in));
    OutputSink sink(output, progress, stop);
    // Spare jobs only for an output file that may still be opening: a slow
    // reader downstream of standard output gains nothing from them.
    PipelineLimits limits;
    limits.spareJobs = stdoutOutput ? 0 : kSpareJobsWhileOutputOpens;
    const PipelineEnd end = runLinePipeline(io, in, workerList, sink, limits);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    progress.clear();
    if (!stdinInput) io.close(in);
    const int out = output.descriptor();
    if (out < 0) return fail("cannot open output " + options.output + ": " + errorText(output.error()));
    const bool closed = stdoutOutput || io.close(out) == 0;
    const int closeError = errno;

    if (sink.writeFailed && io.writeError == EPIPE) return kExitFailure;  // the reader downstream went away
    if (sink.writeFailed)
        return fail("cannot write output " + outputName(options.output) + ": " + errorText(io.writeError));
    if (sink.refused) return fail("tables in " + options.tables + " group no record");
    // A read error without an error number is an input file cut short while it was read.
    if (end == PipelineEnd::ReadError)
        return fail("cannot read input " + inputName(options.input) + ": " +
                    (io.readError ? errorText(io.readError) : "it was cut short while it was read"));
    if (!closed) return fail("cannot write output " + options.output + ": " + errorText(closeError));

    report::RunSummary summary;
    for (const auto& tally : tallies) summary.merge(tally.summary);
    // A summary asked for and lost is a failure, with no line left to say so.
    if (options.summary && std::fputs(summary.text(seconds).c_str(), stderr) < 0) return kExitFailure;
    if (summaryJson) {
        const std::string json = summary.json(seconds).dump(2) + "\n";
        const bool written = (!summaryFile || emptyReport(summaryJson)) && std::fputs(json.c_str(), summaryJson) >= 0;
        const bool ended = summaryToStdout ? std::fflush(stdout) == 0 : std::fclose(summaryFile.release()) == 0;
        if (!written || !ended) {
            if (summaryToStdout && errno == EPIPE) return kExitFailure;  // the reader downstream went away
            return fail("cannot write summary " + (summaryToStdout ? "to standard output" : options.summaryJson) +
                        ": " + errorText(errno));
        }
    }
    return kExitOk;
}

}  // namespace

std::function<int()> attachGroup(CLI::App& command) {
    auto options = std::make_shared<GroupOptions>();
    addTablesOption(command, options->tables);
    command.add_option("INPUT", options->input, "Records to group, one per line (default: standard input)")
        ->check(namedFile());
    command.add_option("-o,--output", options->output, "Where to write the grouped records (default: standard output)")
        ->check(namedFile());
    wholeNumberFrom(command.add_option("--jobs", options->jobs, "Worker threads (default: one per core, at most 16)"), 1,
                    256);
    command.add_flag("--quiet", options->quiet, "No progress line on a terminal");
    command.add_flag("--summary", options->summary, "Print a summary of the results on standard error at the end");
    command.add_option("--summary-json", options->summaryJson,
                       "Write the summary as one JSON object to FILE (- for standard output when -o names a file)")
        ->check(namedFile());
    return [options] { return group(*options); };
}

}  // namespace drg::cli

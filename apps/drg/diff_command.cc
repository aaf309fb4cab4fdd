// `drg diff`: what a new table release changes on the same stays. Every
// record is grouped under both releases in one streaming pass, and the
// report says how many results moved, from where to where, and which stays
// lose or gain a group. Memory stays flat: only the transition counts grow.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/file_io.h"
#include "batch/line_pipeline.h"
#include "command.h"
#include "command_io.h"
#include "drg/grouper.h"
#include "report/explanation_json.h"

namespace drg::cli {
namespace {

// A changed result under --fail-on-change: the run completed, but a release
// check in a script should stop.
constexpr int kExitChanged = 3;

// The four result columns of one record under one release, as written into it.
struct Results {
    char mdc[3];
    char adrg[4];
    char pccl;
    char drg[6];
};

enum Refusal : uint8_t { kNotRefused, kRefusedByFrom, kRefusedByTo };

// What a worker leaves in Job::side for every record, in input order.
struct RecordOutcome {
    Results from;
    Results to;
    uint8_t refusal;
};

bool sameBytes(const char* a, const char* b, size_t n) { return std::memcmp(a, b, n) == 0; }

// Groups every record of a job under both releases. Only the results are
// kept; the grouped line goes to a scratch buffer reused from record to
// record.
class DiffWorker final : public JobWorker {
public:
    DiffWorker(std::shared_ptr<const Release> from, std::shared_ptr<const Release> to)
        : from_(std::move(from)), to_(std::move(to)) {}

    void process(Job& job) override {
        job.side.resize(size_t{job.records} * sizeof(RecordOutcome));
        char* next = job.side.data();
        for (const Piece& piece : job.pieces) {
            // The rest of an overlong line is passed through; its record was the head.
            if (piece.kind == PieceKind::LongLineRest) continue;
            const char* line = job.input.data() + piece.offset;
            RecordOutcome outcome{};
            if (!group(from_, piece, line, outcome.from))
                outcome.refusal = kRefusedByFrom;
            else if (!group(to_, piece, line, outcome.to))
                outcome.refusal = kRefusedByTo;
            std::memcpy(next, &outcome, sizeof outcome);
            next += sizeof outcome;
        }
    }

private:
    bool group(Worker& worker, const Piece& piece, const char* line, Results& results) {
        const size_t needed = piece.kind == PieceKind::Line ? Worker::groupedLength(line, piece.length) : piece.length;
        if (scratch_.size() < needed) scratch_.resize(needed);
        GroupResult result;
        GroupStatus status;
        if (piece.kind == PieceKind::Line) {
            status = worker.groupLine(line, piece.length, scratch_.data(), &result);
        } else {
            // The head of an overlong line is grouped by itself, as the batch does.
            std::memcpy(scratch_.data(), line, piece.length);
            status = worker.groupRecord(scratch_.data(), piece.length, &result);
        }
        if (status != GroupStatus::Ok) return false;
        std::memcpy(results.mdc, result.mdc, sizeof results.mdc);
        std::memcpy(results.adrg, result.adrg, sizeof results.adrg);
        results.pccl = static_cast<char>('0' + result.pccl);
        std::memcpy(results.drg, result.drg, sizeof results.drg);
        return true;
    }

    Worker from_, to_;
    std::vector<char> scratch_;
};

// Counts of "from -> to" pairs of a result text `Width` bytes wide.
template <size_t Width>
class Transitions {
public:
    struct Count {
        std::string from, to;
        uint64_t count;
    };

    // Allocates only for a pair not seen before.
    void add(const char* from, const char* to) {
        Key key;
        std::memcpy(key.data(), from, Width);
        std::memcpy(key.data() + Width, to, Width);
        auto it = counts_.find(key);
        if (it == counts_.end()) it = counts_.emplace(key, 0).first;
        ++it->second;
    }

    // Largest first; equal counts by their texts, in byte order.
    std::vector<Count> sorted() const {
        std::vector<Count> all;
        for (const auto& [key, count] : counts_)
            all.push_back({std::string(key.data(), Width), std::string(key.data() + Width, Width), count});
        std::stable_sort(all.begin(), all.end(), [](const Count& a, const Count& b) { return a.count > b.count; });
        return all;
    }

private:
    using Key = std::array<char, 2 * Width>;
    // Bytes compared as unsigned, as memcmp does: a char's sign differs
    // from one machine to another, and so would the order.
    struct ByteOrder {
        bool operator()(const Key& a, const Key& b) const { return std::memcmp(a.data(), b.data(), a.size()) < 0; }
    };
    std::map<Key, uint64_t, ByteOrder> counts_;
};

struct DiffCounts {
    uint64_t records = 0, changed = 0;
    uint64_t changedMdc = 0, changedAdrg = 0, changedPccl = 0, changedDrg = 0;
    uint64_t lostGroup = 0, gainedGroup = 0;
};

constexpr char kNoGroup[] = "000000";

// A file of the report, closed on every way out of the run. Keeps the
// reason of the first write that failed: stdio reports a failure only later,
// by which time errno may say something else.
class ReportFile {
public:
    explicit ReportFile(std::string path) : path_(std::move(path)) {}
    ~ReportFile() {
        if (file_) std::fclose(file_);
    }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // False, after saying why, when the file was asked for and cannot be created.
    bool open() {
        if (path_.empty()) return true;
        file_ = openReportKeepingOld(path_);
        return file_ != nullptr || sayCannotWrite(errno);
    }

    // Empties what an old report held once the run may go ahead: never
    // before every report has opened, so that one that cannot be opened
    // leaves the others as they were.
    bool empty() {
        return !file_ || emptyReport(file_) || sayCannotWrite(errno);
    }

    std::FILE* get() const { return file_; }
    const std::string& path() const { return path_; }

    // Whether everything so far reached the file; the reason is kept from
    // the call that saw the failure.
    bool good() {
        if (!std::ferror(file_)) return true;
        keep(errno);
        return false;
    }

    void write(const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) keep(errno);
    }

    // "drg diff: cannot write FILE: reason" for a failure seen before the end.
    void sayWriteFailed() const { sayCannotWrite(error_); }

    // False, after saying so, when not all of it reached the file.
    bool close() {
        if (!file_) return true;
        const bool flushed = std::fflush(file_) == 0;
        if (!flushed) keep(errno);
        const bool written = flushed && good();
        const bool closed = std::fclose(file_) == 0;
        if (!closed) keep(errno);
        file_ = nullptr;
        if (written && closed) return true;
        sayWriteFailed();
        return false;
    }

private:
    // Always false, after saying why.
    bool sayCannotWrite(int error) const {
        std::fprintf(stderr, "drg diff: cannot write %s: %s\n", path_.c_str(),
                     error ? std::strerror(error) : "unknown error");
        return false;
    }

    void keep(int error) {
        if (!error_) error_ = error;
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

// Tallies the records in input order and writes the changed ones, each
// with its whole input line, to the --changed file when there is one.
class DiffTally final : public JobSink {
public:
    // `changed` holds no file when --changed was not given.
    explicit DiffTally(ReportFile& changed) : changed_(changed), changedFile_(changed.get()) {}

    bool consume(const Job& job) override {
        const char* outcomes = job.side.data();
        for (const Piece& piece : job.pieces) {
            const char* bytes = job.input.data() + piece.offset;
            if (piece.kind == PieceKind::LongLineRest) {
                if (copyingLine_) copyLinePart(bytes, piece.length);
                continue;
            }
            endChangedLine();
            RecordOutcome outcome;
            std::memcpy(&outcome, outcomes, sizeof outcome);
            outcomes += sizeof outcome;
            ++lineNumber_;
            if (outcome.refusal != kNotRefused) {
                refusal_ = outcome.refusal;
                return false;
            }
            if (tally(outcome.from, outcome.to) && changedFile_) {
                std::fprintf(changedFile_, "%llu", static_cast<unsigned long long>(lineNumber_));
                writeResults(outcome.from);
                writeResults(outcome.to);
                std::fputc('\t', changedFile_);
                copyingLine_ = true;
                copyLinePart(bytes, piece.length);
            }
        }
        return !changedFile_ || changed_.good();
    }

    // Ends the last changed line when the input ended inside it.
    void finish() { endChangedLine(); }

    const DiffCounts& counts() const { return counts_; }
    const Transitions<6>& drgTransitions() const { return drgs_; }
    const Transitions<3>& mdcTransitions() const { return mdcs_; }
    uint8_t refusal() const { return refusal_; }
    uint64_t lineNumber() const { return lineNumber_; }

private:
    // Whether anything changed.
    bool tally(const Results& from, const Results& to) {
        ++counts_.records;
        const bool mdc = !sameBytes(from.mdc, to.mdc, sizeof from.mdc);
        const bool adrg = !sameBytes(from.adrg, to.adrg, sizeof from.adrg);
        const bool pccl = from.pccl != to.pccl;
        const bool drg = !sameBytes(from.drg, to.drg, sizeof from.drg);
        if (!(mdc || adrg || pccl || drg)) return false;
        ++counts_.changed;
        counts_.changedMdc += mdc;
        counts_.changedAdrg += adrg;
        counts_.changedPccl += pccl;
        if (mdc) mdcs_.add(from.mdc, to.mdc);
        if (drg) {
            ++counts_.changedDrg;
            drgs_.add(from.drg, to.drg);
            counts_.lostGroup += sameBytes(to.drg, kNoGroup, 6);
            counts_.gainedGroup += sameBytes(from.drg, kNoGroup, 6);
        }
        return true;
    }

    void writeResults(const Results& r) {
        std::fputc('\t', changedFile_);
        std::fwrite(r.mdc, 1, sizeof r.mdc, changedFile_);
        std::fputc('\t', changedFile_);
        std::fwrite(r.adrg, 1, sizeof r.adrg, changedFile_);
        std::fputc('\t', changedFile_);
        std::fputc(r.pccl, changedFile_);
        std::fputc('\t', changedFile_);
        std::fwrite(r.drg, 1, sizeof r.drg, changedFile_);
    }

    // Copies part of a changed input line without its line end, even when
    // the "\r" of a "\r\n" closes one part and the "\n" opens the next.
    void copyLinePart(const char* bytes, size_t length) {
        const bool endsLine = length > 0 && bytes[length - 1] == '\n';
        if (endsLine) --length;
        if (heldReturn_ && !(endsLine && length == 0)) std::fputc('\r', changedFile_);
        heldReturn_ = false;
        if (length > 0 && bytes[length - 1] == '\r') {
            --length;
            heldReturn_ = !endsLine;
        }
        std::fwrite(bytes, 1, length, changedFile_);
    }

    void endChangedLine() {
        if (!copyingLine_) return;
        // A "\r" at the very end of the input, with no "\n", belongs to the line.
        if (heldReturn_) std::fputc('\r', changedFile_);
        heldReturn_ = false;
        std::fputc('\n', changedFile_);
        copyingLine_ = false;
    }

    ReportFile& changed_;
    std::FILE* changedFile_;
    DiffCounts counts_;
    Transitions<6> drgs_;
    Transitions<3> mdcs_;
    uint64_t lineNumber_ = 0;
    uint8_t refusal_ = kNotRefused;
    bool copyingLine_ = false;
    bool heldReturn_ = false;
};

struct DiffOptions {
    std::string from, to;
    std::string input = "-";
    int jobs = 0;
    int top = 30;
    std::string changedPath, jsonPath;
    bool failOnChange = false;
};

const char* sideName(bool from) { return from ? "--from" : "--to"; }

// The release of one side, or null after saying on standard error why it
// cannot be used.
std::shared_ptr<const Release> openSide(const std::string& directory, bool from) {
    OpenedRelease opened = openRelease(directory);
    if (!opened.release) {
        std::fprintf(stderr, "drg diff: %s %s: release refused (%s): %s\n", sideName(from), directory.c_str(),
                     opened.status == LoadStatus::CountError ? "file count error" : "file init error",
                     opened.reason.c_str());
        return nullptr;
    }
    std::string reason;
    if (!releaseGroupsRecords(*opened.release, &reason)) {
        std::fprintf(stderr, "drg diff: %s %s: the release refuses every record: %s\n", sideName(from),
                     directory.c_str(), reason.c_str());
        return nullptr;
    }
    return opened.release;
}

template <size_t Width>
void printTransitions(const char* title, const Transitions<Width>& transitions, size_t top) {
    const auto all = transitions.sorted();
    std::printf("\n%s, largest first (%zu of %zu):\n", title, std::min(top, all.size()), all.size());
    if (all.empty()) std::printf("  none\n");
    for (size_t i = 0; i < all.size() && i < top; ++i) {
        std::printf("  %10llu  ", static_cast<unsigned long long>(all[i].count));
        std::fwrite(all[i].from.data(), 1, Width, stdout);
        std::fputs(" -> ", stdout);
        std::fwrite(all[i].to.data(), 1, Width, stdout);
        std::fputc('\n', stdout);
    }
}

void printReport(const DiffTally& tally, size_t top) {
    const DiffCounts& c = tally.counts();
    std::printf("records read   %10llu\n", static_cast<unsigned long long>(c.records));
    std::printf("changed        %10llu\n", static_cast<unsigned long long>(c.changed));
    std::printf("  MDC          %10llu\n", static_cast<unsigned long long>(c.changedMdc));
    std::printf("  ADRG         %10llu\n", static_cast<unsigned long long>(c.changedAdrg));
    std::printf("  PCCL         %10llu\n", static_cast<unsigned long long>(c.changedPccl));
    std::printf("  DRG          %10llu\n", static_cast<unsigned long long>(c.changedDrg));
    std::printf("lose a group   %10llu\n", static_cast<unsigned long long>(c.lostGroup));
    std::printf("gain a group   %10llu\n", static_cast<unsigned long long>(c.gainedGroup));
    printTransitions("DRG transitions", tally.drgTransitions(), top);
    printTransitions("MDC transitions", tally.mdcTransitions(), top);
}

template <size_t Width>
nlohmann::json transitionsJson(const Transitions<Width>& transitions) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& t : transitions.sorted())
        list.push_back({{"from", report::textJson(t.from)}, {"to", report::textJson(t.to)}, {"count", t.count}});
    return list;
}

void writeJson(ReportFile& file, const DiffTally& tally, const DiffOptions& options) {
    const DiffCounts& c = tally.counts();
    nlohmann::json j;
    // What was compared, so that a kept report can be traced to its releases.
    j["from"] = report::textJson(options.from);
    j["to"] = report::textJson(options.to);
    j["input"] = isStandardStream(options.input) ? nlohmann::json(nullptr) : report::textJson(options.input);
    j["records"] = c.records;
    j["changed"] = c.changed;
    j["changedMdc"] = c.changedMdc;
    j["changedAdrg"] = c.changedAdrg;
    j["changedPccl"] = c.changedPccl;
    j["changedDrg"] = c.changedDrg;
    j["lostGroup"] = c.lostGroup;
    j["gainedGroup"] = c.gainedGroup;
    j["transitions"] = transitionsJson(tally.drgTransitions());
    j["mdcTransitions"] = transitionsJson(tally.mdcTransitions());
    file.write(report::dumpLine(j) + "\n");
}

int runDiff(const DiffOptions& options) {
    // Both sides are checked, so that one run names every refused release.
    const auto from = openSide(options.from, true);
    const auto to = openSide(options.to, false);
    if (!from || !to) return kExitFailure;

    ErrorKeepingIo io;
    const bool fromStdin = options.input == "-";
    const int inputFd = fromStdin ? 0 : io.open(options.input, OpenMode::Read);
    if (inputFd < 0) {
        std::fprintf(stderr, "drg diff: cannot open %s: %s\n", options.input.c_str(), std::strerror(errno));
        return kExitFailure;
    }
    const auto stop = [&] {
        if (!fromStdin) io.close(inputFd);
        return kExitFailure;
    };
    const auto refuse = [&](const std::string& line) {
        std::fprintf(stderr, "drg diff: %s\n", line.c_str());
        return stop();
    };
    // Every read of a folder fails: said before any report is emptied.
    if (isOpenDirectory(inputFd))
        return refuse("cannot open " + inputName(options.input) + ": " + std::strerror(EISDIR));
    // Standard output on the input (`>> INPUT`) would add the printed report to the records.
    if (sameOpenRegularFile(inputFd, STDOUT_FILENO))
        return refuse("standard output is the input, where the printed report would go");
    // A report that is the input would empty it before it is read; two
    // reports in one file would be mixed.
    // A report over a table file would spoil that release.
    for (const std::string* report : {&options.changedPath, &options.jsonPath}) {
        if (report->empty()) continue;
        if (namesOpenRegularFile(inputFd, *report)) return refuse("report " + *report + " is the input");
        for (const bool side : {true, false}) {
            const std::string& folder = side ? options.from : options.to;
            if (const char* table = tableFileNamedBy(*report, folder))
                return refuse("report " + *report + " is table file " + table + " of " + sideName(side) + " " +
                              folder);
        }
    }
    if (!options.changedPath.empty() && !options.jsonPath.empty() &&
        namesSameFile(options.changedPath, options.jsonPath))
        return refuse("--changed and --json both name " + options.jsonPath);
    // The changed records stream into their report, which is emptied once
    // both reports have opened; the JSON report keeps what it held until
    // it is written at the end.
    ReportFile changedFile(options.changedPath), jsonFile(options.jsonPath);
    if (!changedFile.open() || !jsonFile.open()) return stop();
    // Standard output redirected to a report, or the report named as
    // /dev/stdout on a pipe: the printed report would go into it.
    for (const ReportFile* report : {&changedFile, &jsonFile})
        if (report->get() && sameStream(report->get(), STDOUT_FILENO))
            return refuse("report " + report->path() + " is standard output, which the printed report goes to");
    if (!changedFile.empty()) return stop();

    std::vector<std::unique_ptr<DiffWorker>> workers;
    std::vector<JobWorker*> workerList;
    for (int i = 0; i < batchWorkerCount(options.jobs); ++i) {
        workers.push_back(std::make_unique<DiffWorker>(from, to));
        workerList.push_back(workers.back().get());
    }
    DiffTally tally(changedFile);
    const PipelineEnd end = runLinePipeline(io, inputFd, workerList, tally);
    tally.finish();
    if (!fromStdin) io.close(inputFd);

    if (tally.refusal() != kNotRefused) {
        const bool byFrom = tally.refusal() == kRefusedByFrom;
        std::fprintf(stderr, "drg diff: %s %s: the release refused the record of line %llu\n", sideName(byFrom),
                     (byFrom ? options.from : options.to).c_str(), static_cast<unsigned long long>(tally.lineNumber()));
        return kExitFailure;
    }
    if (end == PipelineEnd::ReadError) {
        std::fprintf(stderr, "drg diff: cannot read %s after line %llu: %s\n", inputName(options.input).c_str(),
                     static_cast<unsigned long long>(tally.lineNumber()),
                     // Without an error number: a file cut short while it was read.
                     io.readError ? std::strerror(io.readError) : "it was cut short while it was read");
        return kExitFailure;
    }
    // The tally stops the run only when the changed records cannot be written.
    if (end == PipelineEnd::Stopped) {
        changedFile.sayWriteFailed();
        return kExitFailure;
    }

    if (jsonFile.get()) {
        if (!jsonFile.empty()) return kExitFailure;
        writeJson(jsonFile, tally, options);
    }
    if (!changedFile.close() || !jsonFile.close()) return kExitFailure;
    printReport(tally, static_cast<size_t>(options.top));
    const bool flushed = std::fflush(stdout) == 0;
    const int error = flushed ? 0 : errno;  // unknown when an earlier write failed
    if (!flushed || std::ferror(stdout)) {
        if (error == EPIPE) return kExitFailure;  // the reader downstream went away
        std::fprintf(stderr, "drg diff: cannot write the report to standard output%s%s\n", error ? ": " : "",
                     error ? std::strerror(error) : "");
        return kExitFailure;
    }
    return options.failOnChange && tally.counts().changed > 0 ? kExitChanged : kExitOk;
}

}  // namespace

std::function<int()> attachDiff(CLI::App& command) {
    auto options = std::make_shared<DiffOptions>();
    command.add_option("--from", options->from, "Folder of the release the results come from")
        ->required()
        ->check(namedFolder());
    command.add_option("--to", options->to, "Folder of the release the results go to")->required()->check(namedFolder());
    command.add_option("INPUT", options->input, "File of records (standard input when missing or -)")
        ->check(namedFile());
    wholeNumberFrom(command.add_option("--jobs", options->jobs, "Threads that group (default: one per core, at most 16)"),
                    1, 256);
    wholeNumberFrom(command.add_option("--top", options->top, "Transitions listed per table, largest first (default 30)"),
                    0, std::numeric_limits<int>::max());
    // Standard output holds the report itself.
    const CLI::Validator aFile(
        [](std::string& path) {
            if (path.empty()) return std::string("an empty file name");
            return path == "-" ? std::string("standard output holds the report: name a file") : "";
        },
        "FILE");
    command.add_option("--changed", options->changedPath,
                       "Write each changed record to FILE: line number, MDC, ADRG, PCCL and DRG under "
                       "--from, the same under --to, and the input line, tab-separated")
        ->check(aFile);
    command.add_option("--json", options->jsonPath, "Write the whole report to FILE as one JSON object")
        ->check(aFile);
    command.add_flag("--fail-on-change", options->failOnChange, "Exit with status 3 when any result changed");
    return [options] { return runDiff(*options); };
}

}  // namespace drg::cli

#include "batch/batch_run.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "batch/grouping_worker.h"
#include "batch/line_pipeline.h"
#include "engine/release.h"
#include "tables/table_loader.h"

namespace drg {
namespace {

constexpr int kProgressEvery = 10000;
constexpr int kMostWorkers = 16;

// Writes the jobs in input order, starts writing out every few megabytes
// behind it, and prints a progress line for every 10000th record once it is
// written.
class OutputWriter final : public JobSink {
public:
    // The output may still be opening: the first job waits for it.
    OutputWriter(OutputFile& output, std::FILE* console) : output_(output), console_(console) {}

    bool consume(const Job& job) override {
        const OutputWrite written = output_.write(job.outputData(), job.outputLength);
        if (written != OutputWrite::Written) {
            writeFailed_ = written == OutputWrite::Failed;
            return false;
        }
        const int32_t before = recordCount_;
        recordCount_ += static_cast<int32_t>(groupedRecords(job));
        for (int32_t n = (before / kProgressEvery + 1) * kProgressEvery; n <= recordCount_; n += kProgressEvery)
            std::fprintf(console_, "record_count = [%d]\n", n);
        if (job.refusedPiece >= 0) {
            refused_ = true;
            return false;
        }
        return true;
    }

    // The output's descriptor once it is open, or -1 if it could not be opened.
    int output() { return output_.descriptor(); }
    bool writeFailed() const { return writeFailed_; }
    bool refused() const { return refused_; }

private:
    OutputFile& output_;
    std::FILE* console_;
    int32_t recordCount_ = 0;
    bool writeFailed_ = false;
    bool refused_ = false;
};

std::string pathIn(const std::string& directory, const char* name) {
    return directory.empty() || directory == "." ? std::string(name) : directory + "/" + name;
}

}  // namespace

int batchWorkerCount(int requested) {
    if (requested > 0) return requested;
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, kMostWorkers);
}

int runBatch(const std::string& directory, const BatchOptions& options) {
    FileIo& io = options.io ? *options.io : systemFileIo();
    std::FILE* console = options.console;
    const int in = io.open(pathIn(directory, "valtic.in"), OpenMode::Read);
    if (in < 0) {
        std::fputs("file in open error\n", console);
        return kExitFailed;
    }
    // An output that is the input (through a link) would be emptied before a
    // record is read: it counts as an output that cannot be opened.
    if (namesOpenRegularFile(in, pathIn(directory, "valtic.out"))) {
        io.close(in);
        std::fputs("file out open error\n", console);
        return kExitFailed;
    }
    // The output opens while the release loads and the first records are
    // grouped: truncating an output that the system is still writing out, or
    // whose blocks it must free, can take longer than loading. Nothing is
    // written, and no outcome reported, before it is open.
    OutputFile output(io, pathIn(directory, "valtic.out"));
    auto release = std::make_unique<Release>();
    std::string problem;
    const int loaded = loadRelease(*release, directory, &problem);
    OutputWriter writer(output, console);
    PipelineEnd end = PipelineEnd::Stopped;
    if (loaded == kLoadOk) {
        std::vector<std::unique_ptr<GroupingWorker>> workers;
        std::vector<JobWorker*> workerList;
        for (int i = 0; i < batchWorkerCount(options.workers); ++i) {
            workers.push_back(std::make_unique<GroupingWorker>(*release));
            workerList.push_back(workers.back().get());
        }
        PipelineLimits limits;
        limits.spareJobs = kSpareJobsWhileOutputOpens;
        end = runLinePipeline(io, in, workerList, writer, limits);
    }
    io.close(in);
    const int out = writer.output();
    if (out < 0) {
        std::fputs("file out open error\n", console);
        return kExitFailed;
    }
    const bool closed = io.close(out) == 0;

    if (loaded != kLoadOk) {
        std::fputs(loadFailureLine(loaded), console);
        std::fflush(console);
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kExitFailed;
    }
    if (writer.refused()) {
        std::fputs("logic setting missing or error\n", console);
        return kExitFailed;
    }
    if (writer.writeFailed()) {
        std::fputs("file out write error\n", console);
        return kExitFailed;
    }
    if (end == PipelineEnd::ReadError) {
        std::fputs("file in read error\n", console);
        return kExitFailed;
    }
    if (!closed) {
        std::fputs("file out write error\n", console);
        return kExitFailed;
    }
    return kExitComplete;
}

}  // namespace drg

#include "batch/line_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/record_grouping.h"

namespace drg {
namespace {

struct PipelineState {
    PipelineState(size_t workerCount, const PipelineLimits& limits)
        : jobs(2 * workerCount + 2 + limits.spareJobs), work(jobs.size(), nullptr), finished(jobs.size(), nullptr),
          workers(workerCount), spareJobs(limits.spareJobs) {
        for (auto& job : jobs) freeJobs.push_back(&job);
    }

    // Whether the reader may take a free job: the last few free ones, the
    // spare jobs, only while fewer jobs wait for the workers than there are
    // workers.
    bool readerMayTakeJob() const {
        return freeJobs.size() > spareJobs || (!freeJobs.empty() && workCount < workers);
    }

    std::mutex mutex;
    std::condition_variable freeReady, workReady, finishedReady;
    std::vector<Job> jobs;
    std::vector<Job*> freeJobs;
    std::vector<Job*> work;       // a ring of the jobs waiting for a worker
    size_t workFirst = 0, workCount = 0;
    std::vector<Job*> finished;   // by sequence modulo the pool size
    uint64_t jobsRead = 0;
    bool inputEnded = false;
    bool readFailed = false;
    bool stopping = false;        // the sink wants no more jobs
    bool workersQuit = false;
    const size_t workers;
    const size_t spareJobs;
};

// Cuts the input into jobs of one read window each, read straight into the
// job: whole lines; a line that fills the window without ending is grouped
// by that window and the rest passed through. The start of a line that a
// window does not end moves to the front of the next window. So the records
// handed on before a read error are those before the window in which the
// error happened.
//
// From a pipe or a terminal, a job takes the whole lines that have come
// when nothing more is ready to be read: a program that writes a record and
// waits for its result gets it. A fast writer fills whole windows all the same.
//
// A job takes no more lines once its output would outgrow the window: every
// short line comes out padded to a record, so a window of empty lines would
// otherwise need some 300 times its size for its output. The lines left
// over move to the front of the next window, as a line not yet ended does.
class InputReader {
public:
    InputReader(PipelineState& state, FileIo& io, int fd, const PipelineLimits& limits)
        : state_(state), io_(io), fd_(fd), window_(limits.readWindow) {
        carry_.reserve(window_);
        struct stat info {};
        if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
            startSize_ = info.st_size;
            const off_t offset = lseek(fd_, 0, SEEK_CUR);
            startOffset_ = offset > 0 ? std::min(offset, startSize_) : 0;  // standard input may be read partly
        }
    }

    void run() {
        const bool complete = readAll();
        {
            std::lock_guard lock(state_.mutex);
            if (job_) state_.freeJobs.push_back(job_);
            state_.inputEnded = true;
            state_.readFailed = !complete && !stopped_;
        }
        state_.freeReady.notify_all();
        state_.finishedReady.notify_all();
    }

private:
    // False on a read error or when the sink stopped the run.
    bool readAll() {
        bool insideLongLine = false;
        for (;;) {
            if (!job_ && !(job_ = takeFreeJob())) {
                stopped_ = true;
                return false;
            }
            ByteBuffer& window = job_->input;
            window.resize(window_);
            char* data = window.data();
            const size_t carried = carry_.size();
            std::memcpy(data, carry_.data(), carried);
            carry_.clear();
            ssize_t n = 0;
            if (!inputEnded_) {
                if (regularFile()) {
                    n = readFully(io_, fd_, data + carried, window_ - carried);
                    inputEnded_ = n >= 0 && carried + static_cast<size_t>(n) < window_;
                } else {
                    n = readAvailable(io_, fd_, data + carried, window_ - carried, &inputEnded_);
                }
                if (n < 0) return false;
                bytesRead_ += static_cast<uint64_t>(n);
                // Its last line may be cut off, and the lines after it are lost.
                if (inputEnded_ && cutWhileRead()) return false;
            }
            const size_t end = carried + static_cast<size_t>(n);
            const bool eof = inputEnded_;
            size_t pos = 0;
            if (insideLongLine) {
                if (n == 0) return true;  // the input ended inside the line
                const char* newline = static_cast<const char*>(std::memchr(data, '\n', end));
                pos = newline ? static_cast<size_t>(newline - data) + 1 : end;
                add(PieceKind::LongLineRest, 0, pos);
                insideLongLine = newline == nullptr;
            }
            bool outputFull = false;
            if (!insideLongLine) {
                while (const char* newline = static_cast<const char*>(std::memchr(data + pos, '\n', end - pos))) {
                    const size_t length = static_cast<size_t>(newline - (data + pos)) + 1;
                    if (!addLine(pos, length)) {
                        outputFull = true;
                        break;
                    }
                    pos += length;
                }
                if (!outputFull && eof && pos < end) {
                    if (addLine(pos, end - pos)) pos = end;
                    else outputFull = true;
                }
                // A line not yet ended waits for more, unless it fills the window.
                if (outputFull || (!eof && (pos > 0 || end < window_))) {
                    carry_.assign(data + pos, data + end);
                } else if (!eof) {
                    add(PieceKind::LongLineHead, 0, end);
                    pos = end;
                    insideLongLine = true;
                }
            }
            dispatch(pos);
            if (eof && !outputFull) return true;
        }
    }

    // Whether the input is a regular file that was cut (emptied or
    // truncated by another program) while it was read: it is shorter now
    // than at the start, and ended before the bytes it held then were read.
    bool regularFile() const { return startSize_ >= 0; }

    bool cutWhileRead() const {
        struct stat now {};
        return regularFile() && fstat(fd_, &now) == 0 && now.st_size < startSize_ &&
               bytesRead_ < static_cast<uint64_t>(startSize_ - startOffset_);
    }

    // Adds a line, with its line end if it has one, unless the job's
    // output has no room for it (a job takes its first line whatever its
    // length).
    bool addLine(size_t offset, size_t length) {
        const size_t grouped = groupedLineLength(job_->input.data() + offset, length);
        if (!job_->pieces.empty() && job_->groupedBytes + grouped > window_) return false;
        job_->pieces.push_back({PieceKind::Line, static_cast<uint32_t>(offset), static_cast<uint32_t>(length)});
        ++job_->records;
        job_->groupedBytes += grouped;
        return true;
    }

    // Adds a piece of a line longer than the window, written as long as it is.
    void add(PieceKind kind, size_t offset, size_t length) {
        job_->pieces.push_back({kind, static_cast<uint32_t>(offset), static_cast<uint32_t>(length)});
        if (kind != PieceKind::LongLineRest) ++job_->records;
        job_->groupedBytes += length;
    }

    Job* takeFreeJob() {
        std::unique_lock lock(state_.mutex);
        state_.freeReady.wait(lock, [&] { return state_.readerMayTakeJob() || state_.stopping; });
        if (state_.stopping) return nullptr;
        Job* job = state_.freeJobs.back();
        state_.freeJobs.pop_back();
        job->pieces.clear();
        job->records = 0;
        job->groupedBytes = 0;
        job->groupedInPlace = false;
        job->outputLength = 0;
        job->refusedPiece = -1;
        job->side.clear();
        return job;
    }

    // Hands on the job holding the window's first `used` bytes; a job
    // without pieces stays for the next window.
    void dispatch(size_t used) {
        if (job_->pieces.empty()) return;
        job_->input.resize(used);
        {
            std::lock_guard lock(state_.mutex);
            job_->sequence = state_.jobsRead++;
            state_.work[(state_.workFirst + state_.workCount++) % state_.work.size()] = job_;
        }
        state_.workReady.notify_one();
        job_ = nullptr;
    }

    PipelineState& state_;
    FileIo& io_;
    int fd_;
    size_t window_;
    std::vector<char> carry_;  // a line the last window did not end, or lines its job had no room for
    Job* job_ = nullptr;
    bool stopped_ = false;
    bool inputEnded_ = false;
    uint64_t bytesRead_ = 0;
    off_t startSize_ = -1;  // of a regular file, when the run began
    off_t startOffset_ = 0;
};

void workerLoop(PipelineState& state, JobWorker& worker) {
    const size_t pool = state.jobs.size();
    for (;;) {
        Job* job;
        {
            std::unique_lock lock(state.mutex);
            state.workReady.wait(lock, [&] { return state.workCount > 0 || state.workersQuit; });
            if (state.workCount == 0) return;
            job = state.work[state.workFirst];
            state.workFirst = (state.workFirst + 1) % pool;
            --state.workCount;
        }
        // With fewer jobs waiting, the reader may take a spare one.
        if (state.spareJobs > 0) state.freeReady.notify_one();
        worker.process(*job);
        {
            std::lock_guard lock(state.mutex);
            state.finished[job->sequence % pool] = job;
        }
        state.finishedReady.notify_all();
    }
}

}  // namespace

PipelineEnd runLinePipeline(FileIo& io, int inputFd, const std::vector<JobWorker*>& workers, JobSink& sink,
                            const PipelineLimits& limits) {
    auto state = std::make_unique<PipelineState>(workers.size(), limits);
    const size_t pool = state->jobs.size();

    InputReader reader(*state, io, inputFd, limits);
    std::thread readerThread([&] { reader.run(); });
    std::vector<std::thread> workerThreads;
    for (JobWorker* worker : workers) workerThreads.emplace_back(workerLoop, std::ref(*state), std::ref(*worker));

    PipelineEnd end = PipelineEnd::Complete;
    for (uint64_t next = 0;; ++next) {
        Job* job;
        {
            std::unique_lock lock(state->mutex);
            state->finishedReady.wait(lock, [&] {
                return state->finished[next % pool] != nullptr || (state->inputEnded && next == state->jobsRead);
            });
            job = state->finished[next % pool];
            if (!job) {
                end = state->readFailed ? PipelineEnd::ReadError : PipelineEnd::Complete;
                break;
            }
            state->finished[next % pool] = nullptr;
        }
        const bool goOn = sink.consume(*job);
        {
            std::lock_guard lock(state->mutex);
            state->freeJobs.push_back(job);
            if (!goOn) state->stopping = true;
        }
        state->freeReady.notify_all();
        if (!goOn) {
            end = PipelineEnd::Stopped;
            break;
        }
    }

    readerThread.join();
    {
        std::lock_guard lock(state->mutex);
        state->workersQuit = true;
    }
    state->workReady.notify_all();
    for (auto& t : workerThreads) t.join();
    return end;
}

}  // namespace drg

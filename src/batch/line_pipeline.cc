#include "batch/line_pipeline.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace drg {
namespace {

struct PipelineState {
    explicit PipelineState(size_t poolSize) : jobs(poolSize), work(poolSize, nullptr), finished(poolSize, nullptr) {
        for (auto& job : jobs) freeJobs.push_back(&job);
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
};

// Cuts the input into jobs exactly as a reader with one window of
// `readWindow` bytes sees it: whole lines; a line that fills the window
// without ending is grouped by that window and the rest passed through. So
// the records handed on before a read error are those before the window in
// which the error happened.
class InputReader {
public:
    InputReader(PipelineState& state, FileIo& io, int fd, const PipelineLimits& limits)
        : state_(state), io_(io), fd_(fd), limits_(limits), window_(limits.readWindow) {}

    void run() {
        const bool complete = readAll();
        if (!stopped_) dispatch();
        {
            std::lock_guard lock(state_.mutex);
            state_.inputEnded = true;
            state_.readFailed = !complete && !stopped_;
        }
        state_.finishedReady.notify_all();
    }

private:
    // False on a read error or when the sink stopped the run.
    bool readAll() {
        const size_t size = window_.size();
        char* data = window_.data();
        size_t pos = 0, end = 0;
        bool eof = false, insideLongLine = false;
        for (;;) {
            if (insideLongLine) {
                dispatch();  // nothing waits on the next read
                const ssize_t n = readFully(io_, fd_, data, size);
                if (n < 0) return false;
                if (n == 0) return true;  // the input ended inside the line
                end = static_cast<size_t>(n);
                eof = end < size;
                const char* newline = static_cast<const char*>(std::memchr(data, '\n', end));
                const size_t rest = newline ? static_cast<size_t>(newline - data) + 1 : end;
                if (!add(PieceKind::LongLineRest, data, rest)) return false;
                if (!newline) continue;
                insideLongLine = false;
                pos = rest;
            }
            while (const char* newline = static_cast<const char*>(std::memchr(data + pos, '\n', end - pos))) {
                const size_t length = static_cast<size_t>(newline - (data + pos)) + 1;
                if (!add(PieceKind::Line, data + pos, length)) return false;
                pos += length;
            }
            if (eof) return pos >= end || add(PieceKind::Line, data + pos, end - pos);
            if (pos > 0) {
                std::memmove(data, data + pos, end - pos);
                end -= pos;
                pos = 0;
            } else if (end == size) {
                if (!add(PieceKind::LongLineHead, data, size)) return false;
                end = 0;
                insideLongLine = true;
                continue;
            }
            dispatch();
            const ssize_t n = readFully(io_, fd_, data + end, size - end);
            if (n < 0) return false;
            end += static_cast<size_t>(n);
            eof = end < size;
        }
    }

    bool add(PieceKind kind, const char* bytes, size_t length) {
        if (current_ && !current_->pieces.empty() &&
            (current_->input.size() + length > limits_.jobInputBytes || current_->records >= limits_.jobRecords))
            dispatch();
        if (!current_ && !(current_ = takeFreeJob())) {
            stopped_ = true;
            return false;
        }
        const size_t offset = current_->input.size();
        current_->input.insert(current_->input.end(), bytes, bytes + length);
        current_->pieces.push_back({kind, static_cast<uint32_t>(offset), static_cast<uint32_t>(length)});
        if (kind != PieceKind::LongLineRest) ++current_->records;
        return true;
    }

    Job* takeFreeJob() {
        std::unique_lock lock(state_.mutex);
        state_.freeReady.wait(lock, [&] { return !state_.freeJobs.empty() || state_.stopping; });
        if (state_.stopping) return nullptr;
        Job* job = state_.freeJobs.back();
        state_.freeJobs.pop_back();
        job->input.clear();
        job->pieces.clear();
        job->records = 0;
        job->output.clear();
        job->refusedPiece = -1;
        job->side.clear();
        return job;
    }

    void dispatch() {
        if (!current_ || current_->pieces.empty()) return;
        {
            std::lock_guard lock(state_.mutex);
            current_->sequence = state_.jobsRead++;
            state_.work[(state_.workFirst + state_.workCount++) % state_.work.size()] = current_;
        }
        state_.workReady.notify_one();
        current_ = nullptr;
    }

    PipelineState& state_;
    FileIo& io_;
    int fd_;
    PipelineLimits limits_;
    std::vector<char> window_;
    Job* current_ = nullptr;
    bool stopped_ = false;
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
    const size_t pool = 2 * workers.size() + 2;
    auto state = std::make_unique<PipelineState>(pool);

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

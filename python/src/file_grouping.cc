#include "file_grouping.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "batch/file_io.h"
#include "batch/grouping_worker.h"
#include "batch/line_pipeline.h"
#include "tables/table_files.h"

namespace drg::python {
namespace {

// The system's calls, with a read or write that gives up once `stop` is set:
// a pipe or a terminal may give or take nothing for as long as it likes, and
// a stop (Ctrl-C) must not wait for it. Regular files are always ready.
class StoppableIo final : public FileIo {
public:
    explicit StoppableIo(const std::atomic<bool>& stop) : stop_(stop) {}

    // A FIFO that no program writes to yet would hold open() itself, where
    // no stop reaches: it is opened without waiting, and the first read
    // waits instead (poll tells of no end before a writer has come and gone).
    int open(const std::string& path, OpenMode mode) override {
        struct stat kind {};
        if (mode != OpenMode::Read || ::stat(path.c_str(), &kind) != 0 || !S_ISFIFO(kind.st_mode))
            return io.open(path, mode);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    ssize_t read(int fd, char* buffer, size_t size) override {
        return readyUnlessStopped(fd, POLLIN) ? io.read(fd, buffer, size) : -1;
    }
    // The output, when not a regular file, is written without blocking: a
    // pipe with room for a few bytes is ready, and would hold a blocking
    // write until it took all of them.
    ssize_t write(int fd, const char* data, size_t size) override {
        for (;;) {
            if (!readyUnlessStopped(fd, POLLOUT)) return -1;
            const ssize_t n = io.write(fd, data, size);
            if (n >= 0 || errno != EAGAIN) return n;
        }
    }
    int close(int fd) override { return io.close(fd); }
    void writeBehind(int fd, uint64_t offset, uint64_t length) override { io.writeBehind(fd, offset, length); }

    ErrorKeepingIo io;

private:
    bool readyUnlessStopped(int fd, short events) const {
        pollfd ready{fd, events, 0};
        // An error of poll's own is left to the read or write to give.
        while (!stop_ && ::poll(&ready, 1, 50) == 0) {}
        return !stop_;
    }

    const std::atomic<bool>& stop_;
};

class OutputWriter final : public JobSink {
public:
    OutputWriter(FileIo& io, int fd, const std::atomic<bool>& stop) : io_(io), fd_(fd), stop_(stop) {}

    bool consume(const Job& job) override {
        if (!writeFully(io_, fd_, job.outputData(), job.outputLength)) {
            writeFailed = true;
            return false;
        }
        records += groupedRecords(job);
        if (job.refusedPiece >= 0) {
            refused = true;
            return false;
        }
        return !stop_;
    }

    bool writeFailed = false;
    bool refused = false;
    uint64_t records = 0;

private:
    FileIo& io_;
    int fd_;
    const std::atomic<bool>& stop_;
};

FileGroupingOutcome ended(FileGroupingEnd end, int error, uint64_t records = 0) { return {end, error, records}; }

// A FIFO that no program reads yet would hold open() itself, where no stop
// reaches: it is tried without waiting until a reader comes, or a stop.
int openOutput(FileIo& io, const std::string& output, const std::function<bool()>& keepGoing, bool* stopped) {
    struct stat kind {};
    if (::stat(output.c_str(), &kind) != 0 || !S_ISFIFO(kind.st_mode)) return io.open(output, OpenMode::Write);
    for (;;) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 || errno != ENXIO) return fd;
        if (!keepGoing()) {
            *stopped = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The table file that `path` is (stat follows links) or names in the
// release's folder, or null.
const char* tableFileAt(const std::string& path, const ReleaseFiles& tableFiles) {
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0)
        for (const TableFileIdentity& file : tableFiles.files)
            if (file.device == named.st_dev && file.inode == named.st_ino) return file.name;
    return tableFileNamedBy(path, tableFiles.folder);
}

}  // namespace

ReleaseFiles releaseFilesIn(const std::string& tablesDirectory) {
    ReleaseFiles release;
    std::error_code error;
    release.folder = std::filesystem::absolute(tablesDirectory, error).string();
    for (const char* name : kTableFileNames) {
        struct stat info {};
        if (::stat((tablesDirectory + "/" + name).c_str(), &info) == 0)
            release.files.push_back({name, info.st_dev, info.st_ino});
    }
    return release;
}

FileGroupingOutcome groupFile(const Release& release, const ReleaseFiles& tableFiles, const std::string& input,
                              const std::string& output, int jobs, const std::function<bool()>& keepGoing) {
    // As drg group: a release that refuses every record leaves an old output as it was.
    if (!releaseGroupsRecords(release)) return ended(FileGroupingEnd::Refused, 0);
    std::vector<std::unique_ptr<GroupingWorker>> workers;
    std::vector<JobWorker*> workerList;
    for (int i = 0; i < jobs; ++i) {
        workers.push_back(std::make_unique<GroupingWorker>(release));
        workerList.push_back(workers.back().get());
    }

    std::atomic<bool> stop{false};
    StoppableIo io(stop);
    const int in = io.open(input, OpenMode::Read);
    if (in < 0) return ended(FileGroupingEnd::InputNotOpened, errno);
    if (isOpenDirectory(in)) {
        io.close(in);
        return ended(FileGroupingEnd::InputNotOpened, EISDIR);
    }
    if (namesOpenRegularFile(in, output)) {
        io.close(in);
        return ended(FileGroupingEnd::OutputIsInput, 0);
    }
    if (const char* table = tableFileAt(output, tableFiles)) {
        io.close(in);
        FileGroupingOutcome outcome = ended(FileGroupingEnd::OutputIsTableFile, 0);
        outcome.tableFile = table;
        return outcome;
    }
    bool stoppedWaiting = false;
    const int out = openOutput(io, output, keepGoing, &stoppedWaiting);
    if (out < 0) {
        const int error = errno;
        io.close(in);
        return ended(stoppedWaiting ? FileGroupingEnd::Stopped : FileGroupingEnd::OutputNotOpened, error);
    }
    struct stat kind {};
    if (::fstat(out, &kind) == 0 && !S_ISREG(kind.st_mode)) ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) | O_NONBLOCK);
    OutputWriter writer(io, out, stop);
    // The pipeline runs on a thread of its own, so that this one can ask
    // keepGoing while it waits, for a pipe that stalls too.
    std::future<PipelineEnd> running =
        std::async(std::launch::async, [&] { return runLinePipeline(io, in, workerList, writer); });
    while (running.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        if (!stop && !keepGoing()) stop = true;
    const PipelineEnd end = running.get();
    io.close(in);
    const bool closed = io.close(out) == 0;
    const int closeError = errno;

    // The same order of complaints as the batch program.
    if (writer.refused) return ended(FileGroupingEnd::Refused, 0, writer.records);
    // A stop makes reads and writes fail on purpose.
    if (stop) return ended(FileGroupingEnd::Stopped, 0, writer.records);
    if (writer.writeFailed) {
        // A write that took nothing (a full device) leaves no error number.
        const int error = io.io.writeError ? io.io.writeError.load() : ENOSPC;
        return ended(FileGroupingEnd::WriteFailed, error, writer.records);
    }
    if (end == PipelineEnd::ReadError)
        return ended(FileGroupingEnd::ReadFailed, io.io.readError.load(), writer.records);
    if (!closed) return ended(FileGroupingEnd::WriteFailed, closeError, writer.records);
    return ended(FileGroupingEnd::Complete, 0, writer.records);
}

}  // namespace drg::python

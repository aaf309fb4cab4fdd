#include "file_grouping.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "batch/file_io.h"
#include "batch/grouping_worker.h"
#include "batch/line_pipeline.h"
#include "tables/table_files.h"

namespace drg::python {
namespace {

class OutputWriter final : public JobSink {
public:
    OutputWriter(FileIo& io, int fd, const std::function<bool()>& keepGoing)
        : io_(io), fd_(fd), keepGoing_(keepGoing) {}

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
        stopped = !keepGoing_();
        return !stopped;
    }

    bool writeFailed = false;
    bool refused = false;
    bool stopped = false;
    uint64_t records = 0;

private:
    FileIo& io_;
    int fd_;
    const std::function<bool()>& keepGoing_;
};

FileGroupingOutcome ended(FileGroupingEnd end, int error, uint64_t records = 0) { return {end, error, records}; }

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

    ErrorKeepingIo io;
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
    const int out = io.open(output, OpenMode::Write);
    if (out < 0) {
        const int error = errno;
        io.close(in);
        return ended(FileGroupingEnd::OutputNotOpened, error);
    }
    OutputWriter writer(io, out, keepGoing);
    const PipelineEnd end = runLinePipeline(io, in, workerList, writer);
    io.close(in);
    const bool closed = io.close(out) == 0;
    const int closeError = errno;

    // The same order of complaints as the batch program.
    if (writer.refused) return ended(FileGroupingEnd::Refused, 0, writer.records);
    if (writer.writeFailed) {
        // A write that took nothing (a full device) leaves no error number.
        const int error = io.writeError ? io.writeError.load() : ENOSPC;
        return ended(FileGroupingEnd::WriteFailed, error, writer.records);
    }
    if (end == PipelineEnd::ReadError) return ended(FileGroupingEnd::ReadFailed, io.readError.load(), writer.records);
    if (!closed) return ended(FileGroupingEnd::WriteFailed, closeError, writer.records);
    if (writer.stopped) return ended(FileGroupingEnd::Stopped, 0, writer.records);
    return ended(FileGroupingEnd::Complete, 0, writer.records);
}

}  // namespace drg::python

#pragma once
// What the web grouper answers, apart from HTTP: grouping request bodies,
// building record lines from fields and describing the release. Any number
// of threads may call it at once; each call groups with a worker of its own.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "drg/grouper.h"
#include "serve/group_request.h"

namespace drg::serve {

struct Reply {
    int status = 200;
    std::string body;  // JSON
};

// Workers for the server's threads: a call borrows one and gives it back,
// so there are never more workers than calls at the same time.
class WorkerPool {
public:
    explicit WorkerPool(std::shared_ptr<const Release> release) : release_(std::move(release)) {}

    class Lease {
    public:
        Lease(WorkerPool& pool, std::unique_ptr<Worker> worker) : pool_(pool), worker_(std::move(worker)) {}
        ~Lease() { pool_.giveBack(std::move(worker_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Worker& operator*() const { return *worker_; }
        Worker* operator->() const { return worker_.get(); }

    private:
        WorkerPool& pool_;
        std::unique_ptr<Worker> worker_;
    };

    Lease borrow();
    size_t workersMade() const;

private:
    void giveBack(std::unique_ptr<Worker> worker);

    std::shared_ptr<const Release> release_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Worker>> idle_;
    size_t made_ = 0;
};

class GroupService {
public:
    // `releaseDescription`: the JSON that GET /api/release answers.
    GroupService(std::shared_ptr<const Release> release, std::string releaseDescription)
        : workers_(std::move(release)), releaseDescription_(std::move(releaseDescription)) {}

    // POST /api/group: the explanation of each record with its output line.
    Reply group(std::string_view body);

    // POST /api/record: the record line of a stay given by its fields.
    Reply recordLine(std::string_view body);

    const std::string& releaseDescription() const { return releaseDescription_; }

private:
    WorkerPool workers_;
    std::string releaseDescription_;
};

// {"error": "...", "field": "...", "errors": [{"field", "error"}, ...]}: the
// first problem on its own, then all of them (the page marks every field).
std::string errorBody(const std::vector<FieldError>& errors);
std::string errorBody(std::string_view message);

// The JSON of GET /api/release for the table files in `directory`: the
// counts of every file and the dates its version is in force. Empty, with
// `problem` set, when the tables do not load.
std::string describeRelease(const std::string& directory, std::string* problem);

}  // namespace drg::serve

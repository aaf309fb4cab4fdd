#pragma once
// The workers of one opened release. A worker belongs to one thread at a
// time; Python threads that share a release lease one for each call and give
// it back afterwards, so a worker's per-record state is made once and reused.

#include <memory>
#include <mutex>
#include <vector>

#include "drg/grouper.h"

namespace drg::python {

class WorkerPool {
public:
    explicit WorkerPool(std::shared_ptr<const Release> release) : release_(std::move(release)) {}

    // A worker for the lease's lifetime, returned to the pool when it ends.
    class Lease {
    public:
        Lease(WorkerPool& pool, std::unique_ptr<Worker> worker) : pool_(&pool), worker_(std::move(worker)) {}
        Lease(Lease&&) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        Worker& operator*() const { return *worker_; }
        Worker* operator->() const { return worker_.get(); }

    private:
        WorkerPool* pool_;
        std::unique_ptr<Worker> worker_;
    };

    Lease lease();
    const std::shared_ptr<const Release>& release() const { return release_; }

private:
    std::shared_ptr<const Release> release_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Worker>> idle_;
};

}  // namespace drg::python

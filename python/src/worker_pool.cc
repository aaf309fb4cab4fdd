#include "worker_pool.h"

namespace drg::python {

WorkerPool::Lease::~Lease() {
    if (!worker_) return;  // moved from
    try {
        const std::lock_guard lock(pool_->mutex_);
        pool_->idle_.push_back(std::move(worker_));
    } catch (...) {
        // No room to keep it: the worker is simply dropped.
    }
}

WorkerPool::Lease WorkerPool::lease() {
    {
        const std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            std::unique_ptr<Worker> worker = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(worker));
        }
    }
    return Lease(*this, std::make_unique<Worker>(release_));
}

}  // namespace drg::python

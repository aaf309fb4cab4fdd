#pragma once
// Ctrl-C or SIGTERM in the middle of a run: the output written so far ends
// with a whole record. The two signals go to a watcher thread instead of
// ending the program wherever it is; the output is written under a lock,
// which the watcher takes before it ends the program by the same signal,
// as if it had not been caught (the status is the same).

#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace drg::cli {

class StopBetweenWrites {
public:
    // Blocks SIGINT and SIGTERM in this thread and in the threads it starts
    // afterwards: make it before them.
    StopBetweenWrites();
    ~StopBetweenWrites();
    StopBetweenWrites(const StopBetweenWrites&) = delete;
    StopBetweenWrites& operator=(const StopBetweenWrites&) = delete;

    // Held while a piece of the output is written. A write that takes longer
    // than 2 s after the signal (a reader downstream that stopped reading)
    // is not waited for.
    std::unique_lock<std::timed_mutex> beginWrite();

private:
    void watch();

    sigset_t signals_{};
    std::timed_mutex writing_;
    std::atomic<bool> ended_{false}, stopping_{false};
    std::thread watcher_;
};

}  // namespace drg::cli

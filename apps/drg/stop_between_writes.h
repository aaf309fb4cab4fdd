#pragma once
// Ctrl-C or SIGTERM in the middle of a run: the output written so far ends
// with a whole record. The output is written under a lock, which the stop
// takes before it ends the program by the same signal, as if it had not been
// caught (the status is the same).

#include <atomic>
#include <mutex>

#include "process/stop_watch.h"

namespace drg::cli {

class StopBetweenWrites {
public:
    // Blocks SIGINT and SIGTERM in this thread and in the threads it starts
    // afterwards: make it before them.
    StopBetweenWrites();

    // Held while a piece of the output is written. A write that takes longer
    // than 2 s after the signal (a reader downstream that stopped reading)
    // is not waited for.
    std::unique_lock<std::timed_mutex> beginWrite();

private:
    std::timed_mutex writing_;
    std::atomic<bool> stopping_{false};
    process::StopWatch watch_;  // last: it may run while the others live
};

}  // namespace drg::cli

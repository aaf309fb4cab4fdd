#pragma once
// A stop by signal that lets the program finish a step before it ends. The
// chosen signals go to a watcher thread instead of ending the program
// wherever it is: the watcher runs `onStop` (which may wait for a step under
// way), then ends the program by the same signal, as if it had not been
// caught, so the exit status is the same.

#include <signal.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <thread>

namespace drg::process {

class StopWatch {
public:
    // Blocks `signals` in this thread and in the threads it starts
    // afterwards: make it before them.
    StopWatch(std::initializer_list<int> signals, std::function<void()> onStop);
    // Ends the watch and gives the caller's signal mask back: a signal that
    // came meanwhile is taken then, as it would have been.
    ~StopWatch();
    StopWatch(const StopWatch&) = delete;
    StopWatch& operator=(const StopWatch&) = delete;

private:
    sigset_t signals_{}, callers_{};
    std::function<void()> onStop_;
    std::atomic<bool> ended_{false};
    std::thread watcher_;
};

}  // namespace drg::process

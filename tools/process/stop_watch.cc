#include "process/stop_watch.h"

#include <pthread.h>

#include <csignal>

namespace drg::process {

StopWatch::StopWatch(std::initializer_list<int> signals, std::function<void()> onStop) : onStop_(std::move(onStop)) {
    sigemptyset(&signals_);
    for (int signal : signals) sigaddset(&signals_, signal);
    pthread_sigmask(SIG_BLOCK, &signals_, &callers_);
    watcher_ = std::thread([this] {
        int caught = 0;
        if (sigwait(&signals_, &caught) != 0 || ended_) return;
        onStop_();
        std::signal(caught, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, caught);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        std::raise(caught);
    });
}

StopWatch::~StopWatch() {
    ended_ = true;
    // Wakes the watcher with one of its own signals; it then sees `ended_`.
    for (int signal = 1; signal < NSIG; ++signal)
        if (sigismember(&signals_, signal) == 1) {
            pthread_kill(watcher_.native_handle(), signal);
            break;
        }
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &callers_, nullptr);
}

}  // namespace drg::process

#include "stop_between_writes.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace drg::cli {

StopBetweenWrites::StopBetweenWrites() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    watcher_ = std::thread([this] { watch(); });
}

StopBetweenWrites::~StopBetweenWrites() {
    ended_ = true;
    pthread_kill(watcher_.native_handle(), SIGTERM);  // wakes the watcher, which then sees `ended_`
    watcher_.join();
    // A signal that came after the run is taken as it would have been.
    pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
}

std::unique_lock<std::timed_mutex> StopBetweenWrites::beginWrite() {
    std::unique_lock lock(writing_);
    // Once a stop has begun, no write starts: the watcher ends the program.
    if (stopping_) {
        lock.unlock();
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    return lock;
}

void StopBetweenWrites::watch() {
    int caught = 0;
    sigwait(&signals_, &caught);
    if (ended_) return;
    stopping_ = true;
    // Kept locked: no write starts after this one.
    static_cast<void>(writing_.try_lock_for(std::chrono::seconds(2)));
    if (isatty(STDERR_FILENO)) std::fputs("\r\033[K", stderr);  // the progress line
    std::signal(caught, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, caught);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    std::raise(caught);
}

}  // namespace drg::cli

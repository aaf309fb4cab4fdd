#include "stop_between_writes.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace drg::cli {

StopBetweenWrites::StopBetweenWrites()
    : watch_({SIGINT, SIGTERM}, [this] {
          stopping_ = true;
          // Kept locked: no write starts after this one.
          static_cast<void>(writing_.try_lock_for(std::chrono::seconds(2)));
          if (isatty(STDERR_FILENO)) std::fputs("\r\033[K", stderr);  // the progress line
      }) {}

std::unique_lock<std::timed_mutex> StopBetweenWrites::beginWrite() {
    std::unique_lock lock(writing_);
    // Once a stop has begun, no write starts: the watcher ends the program.
    if (stopping_) {
        lock.unlock();
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    return lock;
}

}  // namespace drg::cli

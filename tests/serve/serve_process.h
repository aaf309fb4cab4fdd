#pragma once
// `drg serve` as a user runs it: started on a free loopback port, asked
// over HTTP, stopped by a signal.

#include <sys/types.h>

#include <string>
#include <vector>

namespace drg::testing {

class ServeProcess {
public:
    // Starts `drg serve --tables DIR --port 0` with `extraArgs` and waits for
    // the address it prints; port() is 0 when it did not come up.
    explicit ServeProcess(const std::string& tableDir, const std::vector<std::string>& extraArgs = {});
    ~ServeProcess();  // kills the server if it still runs
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    int port() const { return port_; }
    const std::string& firstLine() const { return firstLine_; }

    // Sends `signal` and waits at most `seconds` for the end: the exit
    // status, or -1 when it did not end (then it is killed) or died by a signal.
    int stop(int signal, int seconds = 10);
    // Whatever the server printed on standard output after its first line.
    const std::string& laterOutput() const { return laterOutput_; }

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int port_ = 0;
    std::string firstLine_, laterOutput_;
};

}  // namespace drg::testing

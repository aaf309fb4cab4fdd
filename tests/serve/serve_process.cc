#include "serve/serve_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

namespace drg::testing {

ServeProcess::ServeProcess(const std::string& tableDir, const std::vector<std::string>& extraArgs) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    std::vector<std::string> args = {DRG_TOOL_PATH, "serve", "--tables", tableDir, "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    outFd_ = pipeFds[0];
    if (pid_ < 0) return;
    // The first line names the address: "... on http://127.0.0.1:PORT/ ...".
    pollfd p{outFd_, POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(outFd_, &c, 1) == 1 && c != '\n') firstLine_ += c;
    std::smatch m;
    if (std::regex_search(firstLine_, m, std::regex("http://127\\.0\\.0\\.1:([0-9]+)/"))) port_ = std::stoi(m[1]);
}

ServeProcess::~ServeProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
}

int ServeProcess::stop(int signal, int seconds) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return -1;  // the destructor kills it
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    char buffer[4096];
    ssize_t n;
    while ((n = read(outFd_, buffer, sizeof buffer)) > 0) laterOutput_.append(buffer, static_cast<size_t>(n));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace drg::testing

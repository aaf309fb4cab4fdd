#include "serve/bounded_server.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "serve/group_service.h"

namespace drg::serve {
namespace {

// One accepted connection as the library reads and writes it, with the head
// of each request held to kMaxHeadBytes: beyond it reading and writing fail,
// and the connection is answered 431 and closed. A line of the body beyond
// that makes reading fail: the library answers 400 and the connection is
// closed. Bytes read past the end of a request stay for the next one: a
// client may send requests back to back.
class ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(socket_t sock, time_t readSeconds, time_t writeSeconds)
        : sock_(sock), readMs_(static_cast<int>(readSeconds * 1000)), writeMs_(static_cast<int>(writeSeconds * 1000)) {}

    void startRequest() { headBytes_ = 0, headTail_ = 0, inHead_ = true; }
    bool headTooLarge() const { return inHead_ && headBytes_ > kMaxHeadBytes; }
    bool lineTooLong() const { return lineBytes_ > kMaxHeadBytes; }
    bool hasBuffered() const { return next_ < end_; }

    bool is_readable() const override { return hasBuffered() || ready(POLLIN, readMs_); }
    bool is_writable() const override { return ready(POLLOUT, writeMs_); }
    ssize_t read(char* ptr, size_t size) override {
        if (headTooLarge() || lineTooLong()) return -1;
        if (!hasBuffered()) {
            if (!ready(POLLIN, readMs_)) return -1;
            ssize_t n;
            do n = ::recv(sock_, buffer_, sizeof buffer_, 0);
            while (n < 0 && errno == EINTR);
            if (n <= 0) return n;
            next_ = 0, end_ = static_cast<size_t>(n);
        }
        const size_t n = std::min(size, end_ - next_);
        std::memcpy(ptr, buffer_ + next_, n);
        next_ += n;
        // The head ends at its first empty line; the body after it is not counted.
        for (size_t i = 0; inHead_ && i < n; ++i) {
            headTail_ = (headTail_ << 8) | static_cast<unsigned char>(ptr[i]);
            inHead_ = headTail_ != 0x0d0a0d0a;
            ++headBytes_;
        }
        // The library reads its lines a byte at a time, the content of a body in larger pieces.
        lineBytes_ = size != 1 || *ptr == '\n' ? 0 : lineBytes_ + 1;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (headTooLarge() || !is_writable()) return -1;
        ssize_t n;
        do n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        return n;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { address(::getpeername, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { address(::getsockname, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    bool ready(short events, int ms) const {
        pollfd p{sock_, events, 0};
        int ready;
        do ready = ::poll(&p, 1, ms);
        while (ready < 0 && errno == EINTR);
        return ready > 0 && (p.revents & (events | POLLHUP | POLLERR));
    }
    void address(int (*name)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
        sockaddr_storage a{};
        socklen_t length = sizeof a;
        char host[NI_MAXHOST], service[NI_MAXSERV];
        if (name(sock_, reinterpret_cast<sockaddr*>(&a), &length) != 0 ||
            ::getnameinfo(reinterpret_cast<sockaddr*>(&a), length, host, sizeof host, service, sizeof service,
                          NI_NUMERICHOST | NI_NUMERICSERV) != 0)
            return;
        ip = host;
        port = std::atoi(service);
    }

    socket_t sock_;
    int readMs_, writeMs_;
    char buffer_[4096];
    size_t next_ = 0, end_ = 0, headBytes_ = 0, lineBytes_ = 0;
    uint32_t headTail_ = 0;
    bool inHead_ = true;
};

thread_local bool closeAfterAnswer = false;

// The library's pool of threads, counting the connections that wait for one.
class CountingPool final : public httplib::TaskQueue {
public:
    CountingPool(size_t threads, std::atomic<int>& waiting) : pool_(threads), waiting_(waiting) {}

    void enqueue(std::function<void()> task) override {
        ++waiting_;
        pool_.enqueue([this, task = std::move(task)] {
            --waiting_;
            task();
        });
    }
    // Answers the connections taken so far, then ends the threads.
    void shutdown() override { pool_.shutdown(); }

private:
    httplib::ThreadPool pool_;
    std::atomic<int>& waiting_;
};

}  // namespace

void BoundedServer::answerOn(size_t threads) {
    new_task_queue = [this, threads] { return new CountingPool(threads, connectionsWaiting_); };
}

void closeConnectionAfterAnswer() { closeAfterAnswer = true; }

bool BoundedServer::process_and_close_socket(socket_t sock) {
    ConnectionStream stream(sock, read_timeout_sec_, write_timeout_sec_);
    for (size_t left = keep_alive_max_count_; left > 0; --left) {
        if (!stream.hasBuffered() && !waitForRequest(sock)) break;
        stream.startRequest();
        closeAfterAnswer = false;
        bool closed = false;
        // A connection taken before a stop may be served after it, its thread
        // having been busy: the request it holds is answered, and the last.
        const bool last = left == 1 || svr_sock_ == INVALID_SOCKET;
        ++requestsUnderWay_;
        const bool served = process_request(stream, last, closed, nullptr);
        --requestsUnderWay_;
        if (stream.headTooLarge()) {
            const std::string body = errorBody("the request line and header fields are larger than " +
                                               std::to_string(kMaxHeadBytes >> 10) + " KiB");
            const std::string reply = "HTTP/1.1 431 Request Header Fields Too Large\r\nConnection: close\r\n"
                                      "Content-Type: " + std::string(kJson) + "\r\nContent-Length: " +
                                      std::to_string(body.size()) + "\r\n\r\n" + body;
            ::send(sock, reply.data(), reply.size(), MSG_NOSIGNAL);
            break;
        }
        if (!served || closed || last || closeAfterAnswer || stream.lineTooLong()) break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return true;
}

bool BoundedServer::waitForRequest(socket_t sock) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    const auto givesWay = [this] { return svr_sock_ == INVALID_SOCKET || connectionsWaiting_ > 0; };
    while (!givesWay() && std::chrono::steady_clock::now() < until) {
        pollfd p{sock, POLLIN, 0};
        const int ready = ::poll(&p, 1, 50);
        if (ready != 0) return ready > 0;
    }
    pollfd p{sock, POLLIN, 0};
    return givesWay() && ::poll(&p, 1, 0) > 0;
}

}  // namespace drg::serve

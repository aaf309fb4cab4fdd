#pragma once
// The web grouper's HTTP side: the page, the JSON API and the health check
// on a pool of threads, each request answered by the GroupService.

#include <memory>
#include <string>

#include "serve/group_service.h"

namespace drg::serve {

inline constexpr size_t kMaxBodyBytes = 1 << 20;

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;  // 0: any free port
    int threads = 8;  // a thread serves one connection at a time
};

class WebServer {
public:
    WebServer(GroupService& service, ServerOptions options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Opens the listening socket; false, with `problem` set, when it cannot.
    bool bind(std::string* problem);
    int port() const { return port_; }
    // "http://127.0.0.1:8080/", with the port bound.
    std::string address() const;

    // Serves until stop(); false when serving could not start.
    bool serve();
    // Ends serve() from any thread: no new connection is taken, requests
    // under way are answered.
    void stop();
    // Requests being read or answered now; idle connections are not counted.
    int requestsUnderWay() const;

private:
    struct Http;
    std::unique_ptr<Http> http_;
    ServerOptions options_;
    int port_ = -1;
};

}  // namespace drg::serve

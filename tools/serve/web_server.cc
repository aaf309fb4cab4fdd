#include "serve/web_server.h"

#include <httplib.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "serve/bounded_server.h"
#include "serve/web_assets.h"

namespace drg::serve {
namespace {

struct Route {
    const char* path;
    const char* allowed;  // the one method that the path answers
};

constexpr Route kRoutes[] = {
    {"/", "GET"},         {"/page.css", "GET"},   {"/page.js", "GET"}, {"/api/group", "POST"},
    {"/api/record", "POST"}, {"/api/release", "GET"}, {"/healthz", "GET"}, {"/favicon.ico", "GET"},
};

// The library matches a route as a regular expression over the whole path;
// each path is meant literally, so "/page.css" must not also answer "/pagexcss".
std::string exactly(std::string_view path) {
    std::string pattern;
    for (const char c : path) {
        if (std::string_view(R"(\^$.|?*+()[]{})").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// A header field's value in lower case: media types and transfer codings
// are named without regard to case.
std::string loweredHeader(const httplib::Request& req, const char* name) {
    std::string value = req.get_header_value(name);
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
    return value;
}

// "Multipart/Form-Data" is a multipart form too.
bool isMultipartForm(const httplib::Request& req) {
    return loweredHeader(req, "Content-Type").rfind("multipart/form-data", 0) == 0;
}

// The lowest port that a program without privileges may listen on.
int firstUnprivilegedPort() {
    int port = 1024;
    if (FILE* f = std::fopen("/proc/sys/net/ipv4/ip_unprivileged_port_start", "r")) {
        if (std::fscanf(f, "%d", &port) != 1) port = 1024;
        std::fclose(f);
    }
    return port;
}

// The library does not say why a bind failed: binding a socket of our own to
// the first address the name stands for, as the library tried it, tells.
std::string whyNotBound(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (error != 0) return std::string("no such address: ") + ::gai_strerror(error);
    int why = 0;
    const int sock = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (sock < 0) {
        why = errno;
    } else {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(sock, found->ai_addr, found->ai_addrlen) != 0 || ::listen(sock, 1) != 0) why = errno;
        ::close(sock);
    }
    ::freeaddrinfo(found);
    if (why == EADDRINUSE) return "another program listens on it";
    if (why == EADDRNOTAVAIL) return "not an address of this machine";
    const int unprivileged = firstUnprivilegedPort();
    if (why == EACCES && port < unprivileged)
        return "a port below " + std::to_string(unprivileged) + " needs privileges";
    if (why != 0) return std::strerror(why);
    return "the port is free again now: try again";
}

// The refusal of a request whose body's end cannot be told, or none: a
// transfer coding other than chunked (501), or a length that is not one
// number of digits alone (400).
std::optional<Reply> unframedBody(const httplib::Request& req) {
    if (req.has_header("Transfer-Encoding")) {
        const std::string coding = loweredHeader(req, "Transfer-Encoding");
        if (coding == "chunked" && req.get_header_value_count("Transfer-Encoding") == 1) return std::nullopt;
        return Reply{501, errorBody("only the chunked transfer coding is understood, not " + coding)};
    }
    const size_t lengths = req.get_header_value_count("Content-Length");
    for (size_t i = 0; i < lengths; ++i) {
        const std::string length = req.get_header_value("Content-Length", i);
        if (length.empty() || length.find_first_not_of("0123456789") != std::string::npos)
            return Reply{400, errorBody("Content-Length " + length + " is not a number of bytes")};
        if (length != req.get_header_value("Content-Length", 0))
            return Reply{400, errorBody("two Content-Length fields that differ")};
    }
    return std::nullopt;
}

// 405, naming the one method the path answers.
void refuseMethod(httplib::Response& res, const char* allowed) {
    res.status = 405;
    res.set_header("Allow", allowed);
}

void answer(httplib::Response& res, const Reply& reply) {
    res.status = reply.status;
    res.set_content(reply.body, kJson);
}

std::string defaultErrorText(const httplib::Request& req, int status) {
    switch (status) {
    case 400: return "the request is not one this server understands";
    case 404: return "no such path: " + req.path;
    case 405: return req.method + " is not allowed on " + req.path;
    case 413: return "the request body is larger than " + std::to_string(kMaxBodyBytes) + " bytes (1 MiB)";
    case 414: return "the request path is too long";
    case 415: return "the body is multipart form data; send the JSON object as the body itself";
    default: return "the request failed with status " + std::to_string(status);
    }
}

// Beyond the limit a body is still read, up to this much, but not kept, so
// that the connection stays in step and the client sees the 413.
constexpr size_t kMostBytesPassedOver = size_t{64} << 20;

// A POST handler that reads the body itself, whatever its content type or
// transfer encoding: the library applies its size limit to bodies with a
// length only, and caps form-encoded ones (what `curl -d` sends) at 8 KiB.
httplib::Server::HandlerWithContentReader withBody(std::function<Reply(const std::string&)> handle) {
    return [handle = std::move(handle)](const httplib::Request& req, httplib::Response& res,
                                        const httplib::ContentReader& readContent) {
        // The library would take such a body apart into its form fields.
        if (isMultipartForm(req)) {
            res.status = 415;
            res.set_content(errorBody(defaultErrorText(req, res.status)), kJson);
            return;
        }
        std::string body;
        size_t passedOver = 0;
        const bool read = readContent([&](const char* data, size_t length) {
            if (passedOver == 0 && body.size() + length <= kMaxBodyBytes) {
                body.append(data, length);
                return true;
            }
            passedOver += length;
            return passedOver <= kMostBytesPassedOver;
        });
        if (passedOver > 0 || !read) {
            res.status = passedOver > 0 || res.status == 413 ? 413 : 400;
            res.set_content(errorBody(defaultErrorText(req, res.status)), kJson);
            return;
        }
        answer(res, handle(body));
    };
}

}  // namespace

struct WebServer::Http {
    BoundedServer server;
    std::atomic<bool> stopping{false}, listening{false}, finished{false};
};

WebServer::WebServer(GroupService& service, ServerOptions options)
    : http_(std::make_unique<Http>()), options_(std::move(options)) {
    httplib::Server& s = http_->server;
    const size_t threads = static_cast<size_t>(options_.threads < 1 ? 1 : options_.threads);
    http_->server.answerOn(threads);
    s.set_payload_max_length(kMaxBodyBytes);
    s.set_keep_alive_max_count(100000);
    s.set_keep_alive_timeout(2);  // an idle connection gives its thread back soon
    s.set_tcp_nodelay(true);
    // Address reuse only: the library's default also shares the port with any
    // other server that binds it, which would split the requests between them.
    s.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    const auto asset = [](const char* type, std::string_view content) {
        return [type, content](const httplib::Request&, httplib::Response& res) {
            res.set_content(content.data(), content.size(), type);
            res.set_header("Cache-Control", "no-cache");
            // The page loads nothing from anywhere but this server.
            res.set_header("Content-Security-Policy", "default-src 'self'");
            res.set_header("X-Content-Type-Options", "nosniff");
        };
    };
    s.Get(exactly("/"), asset("text/html; charset=utf-8", kPageHtml));
    s.Get(exactly("/page.css"), asset("text/css; charset=utf-8", kPageCss));
    s.Get(exactly("/page.js"), asset("text/javascript; charset=utf-8", kPageJs));
    const std::pair<const char*, std::function<Reply(const std::string&)>> bodyRoutes[] = {
        {"/api/group", [&service](const std::string& body) { return service.group(body); }},
        {"/api/record", [&service](const std::string& body) { return service.recordLine(body); }},
    };
    for (const auto& [path, handle] : bodyRoutes) s.Post(exactly(path), withBody(handle));
    s.Get(exactly("/api/release"), [&service](const httplib::Request&, httplib::Response& res) {
        res.set_content(service.releaseDescription(), kJson);
    });
    s.Get(exactly("/healthz"), [](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"status\":\"ok\"}", kJson);
    });
    // Browsers ask for an icon with every page; the page has none, and "no
    // content" keeps a 404 out of their consoles.
    s.Get(exactly("/favicon.ico"), [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

    // Every other method on a known path: 405 with the one that is allowed.
    for (const Route& route : kRoutes) {
        const std::string allowed = route.allowed;
        const auto refuse = [&route](const httplib::Request&, httplib::Response& res) {
            refuseMethod(res, route.allowed);
        };
        const std::string pattern = exactly(route.path);
        if (allowed != "GET") s.Get(pattern, refuse);
        if (allowed != "POST") s.Post(pattern, refuse);
        s.Put(pattern, refuse);
        s.Patch(pattern, refuse);
        s.Delete(pattern, refuse);
        s.Options(pattern, refuse);
    }

    // A request with neither a length nor chunks has no body; the library would
    // wait for one until the connection closes. So a wrong method is refused,
    // and a POST answered as for an empty body, before the library looks.
    s.set_pre_routing_handler([bodyRoutes](const httplib::Request& req, httplib::Response& res) {
        // A range applies to GET only; the library would cut any answer to it
        // and keep its status. The request is the library's own object, not const.
        if (req.method != "GET" && req.method != "HEAD") const_cast<httplib::Request&>(req).ranges.clear();
        // Where the body ends cannot be known: answered at once, and the
        // connection closed, for what follows may be the rest of the body.
        if (const std::optional<Reply> refusal = unframedBody(req)) {
            answer(res, *refusal);
            res.set_header("Connection", "close");
            closeConnectionAfterAnswer();
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.has_header("Content-Length") || req.has_header("Transfer-Encoding"))
            return httplib::Server::HandlerResponse::Unhandled;
        for (const auto& [path, handle] : bodyRoutes) {
            if (req.method != "POST" || req.path != path) continue;
            answer(res, handle(""));
            return httplib::Server::HandlerResponse::Handled;
        }
        for (const Route& route : kRoutes) {
            if (req.path != route.path) continue;
            const bool allowed = req.method == route.allowed || (req.method == "HEAD" && std::string(route.allowed) == "GET");
            if (allowed) break;
            refuseMethod(res, route.allowed);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    // The library calls this for every status from 400 on; answers that
    // already carry their own JSON are left as they are.
    s.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        res.set_content(errorBody(defaultErrorText(req, res.status)), kJson);
        return httplib::Server::HandlerResponse::Handled;
    }));
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(errorBody("the server failed to answer this request"), kJson);
    });
}

WebServer::~WebServer() = default;

bool WebServer::bind(std::string* problem) {
    httplib::Server& s = http_->server;
    if (options_.port == 0) {
        port_ = s.bind_to_any_port(options_.host);
    } else if (s.bind_to_port(options_.host, options_.port)) {
        port_ = options_.port;
    }
    if (port_ <= 0) {
        if (problem) *problem = "cannot listen on " + options_.host + " port " + std::to_string(options_.port) +
                                " (" + whyNotBound(options_.host, options_.port) + ")";
        return false;
    }
    return true;
}

std::string WebServer::address() const {
    const bool ipv6 = options_.host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + options_.host + "]" : options_.host) + ":" + std::to_string(port_) + "/";
}

bool WebServer::serve() {
    http_->listening = true;
    bool served = true;
    if (!http_->stopping) served = http_->server.listen_after_bind();
    http_->finished = true;
    return served;
}

int WebServer::requestsUnderWay() const { return http_->server.requestsUnderWay(); }

void WebServer::stop() {
    http_->stopping = true;
    if (!http_->listening) return;  // serve() will see `stopping` and not start
    // stop() only takes effect once the library runs its accept loop.
    while (!http_->server.is_running() && !http_->finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    http_->server.stop();
}

}  // namespace drg::serve

#pragma once
// The HTTP library's server with each connection read through a stream of
// its own, so that a request's head cannot fill the memory, requests sent
// back to back are all answered, and an idle connection gives way to a stop.

#include <httplib.h>

#include <atomic>
#include <cstddef>

namespace drg::serve {

inline constexpr const char* kJson = "application/json; charset=utf-8";

// The head of a request (its request line and header fields) is read up to
// this much, and so is any other line the library reads (the size of a chunk,
// a trailer). The library keeps every header field that comes, however many,
// and a line however long, so a client that never ends one would otherwise
// fill the memory.
inline constexpr size_t kMaxHeadBytes = 64 << 10;

// Keep-alive, the most requests a connection may carry and the end when
// stopped are as the library does them. A head beyond kMaxHeadBytes is
// answered 431, a longer line of a body 400, and the connection closed.
// Called while a request is answered, on its connection's thread: the
// connection is closed once the answer is written. For a request whose body
// cannot be told from what follows it.
void closeConnectionAfterAnswer();

class BoundedServer final : public httplib::Server {
public:
    // Answers on a pool of `threads` threads, one connection each.
    void answerOn(size_t threads);
    // Requests being read or answered now, not counting idle connections.
    int requestsUnderWay() const { return requestsUnderWay_; }

private:
    bool process_and_close_socket(socket_t sock) override;
    // Waits for the next request on an idle connection, at most the keep-alive
    // time, and only while no other connection waits for a thread: a client
    // that keeps its connection open must not hold up the others (a health
    // check among them). After a stop, or once another connection waits,
    // only a request that has already come is answered; none is waited for.
    bool waitForRequest(socket_t sock) const;

    std::atomic<int> requestsUnderWay_{0};
    std::atomic<int> connectionsWaiting_{0};  // taken, but with no thread yet
};

}  // namespace drg::serve

// `drg serve`: the web grouper. Loads one release, groups single stays for
// a page at "/" and for the JSON API, on a pool of threads that share the
// release, until SIGINT, SIGTERM or SIGHUP.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "command.h"
#include "drg/grouper.h"
#include "serve/group_service.h"
#include "serve/web_server.h"

namespace drg::cli {
namespace {

struct ServeOptions {
    std::string tableDir;
    serve::ServerOptions server;
};

int serveRelease(const ServeOptions& options) {
    OpenedRelease opened = openRelease(options.tableDir);
    if (!opened.release) {
        std::fprintf(stderr, "%s: tables do not load: %s\n", options.tableDir.c_str(), opened.reason.c_str());
        return kExitFailure;
    }
    std::string reason;
    if (!releaseGroupsRecords(*opened.release, &reason)) {
        std::fprintf(stderr, "%s: no record can be grouped: %s\n", options.tableDir.c_str(), reason.c_str());
        return kExitFailure;
    }
    const std::string description = serve::describeRelease(options.tableDir, &reason);
    if (description.empty()) {
        std::fprintf(stderr, "%s: tables do not load: %s\n", options.tableDir.c_str(), reason.c_str());
        return kExitFailure;
    }

    // SIGINT, SIGTERM and SIGHUP (the terminal it was started from closed)
    // are taken by one thread that stops the server; the server's threads,
    // started after this, inherit the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    serve::GroupService service(opened.release, description);
    serve::WebServer server(service, options.server);
    if (!server.bind(&reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return kExitFailure;
    }
    std::printf("serving %s on %s with %d thread%s (Ctrl-C stops)\n", options.tableDir.c_str(),
                server.address().c_str(), options.server.threads, options.server.threads == 1 ? "" : "s");
    std::fflush(stdout);

    // The first signal stops taking connections and lets the requests under
    // way finish; a client that keeps sending slowly could hold that up for
    // as long as it likes, so a second signal ends the program at once. With
    // no request under way there is nothing to cut short: the stop ends by
    // itself, and the signal was most likely the first one sent again (to the
    // program and to its process group, as timeout does).
    std::atomic<bool> ended{false};
    std::thread signalWatcher([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        if (ended) return;
        server.stop();
        do {
            sigwait(&stopSignals, &signal);
            if (ended) return;
        } while (server.requestsUnderWay() == 0);
        std::fprintf(stderr, "stopped at a second signal, without waiting for the requests under way\n");
        std::_Exit(kExitFailure);
    });
    const bool served = server.serve();
    ended = true;
    pthread_kill(signalWatcher.native_handle(), SIGTERM);  // wakes the watcher when serving ended by itself
    signalWatcher.join();
    if (!served) {
        std::fprintf(stderr, "serving on %s failed\n", server.address().c_str());
        return kExitFailure;
    }
    std::printf("stopped\n");
    return kExitOk;
}

}  // namespace

std::function<int()> attachServe(CLI::App& command) {
    auto options = std::make_shared<ServeOptions>();
    addTablesOption(command, options->tableDir);
    command.add_option("--host", options->server.host, "Address to listen on")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& host) {
                return host.empty() ? std::string("name an address, such as 127.0.0.1, or 0.0.0.0 for every one")
                                    : std::string();
            },
            "HOST"));
    wholeNumberFrom(
        command.add_option("--port", options->server.port, "Port to listen on; 0 picks a free one")->capture_default_str(),
        0, 65535);
    wholeNumberFrom(command.add_option("--threads", options->server.threads,
                                       "Threads that answer requests, one connection each")
                        ->capture_default_str(),
                    1, 256);
    return [options] { return serveRelease(*options); };
}

}  // namespace drg::cli

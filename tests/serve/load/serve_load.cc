// A load run of `drg serve` on the loopback address: 8 clients send 2,000
// requests each over keep-alive connections; every answer must equal the
// answer to the same request sent alone. Prints requests per second and
// latency percentiles; exits 1 when any request failed or differed.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <vector>

#include "serve/serve_process.h"
#include "support/test_files.h"
#include "tools/tool_test_support.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 8;
constexpr int kRequestsPerClient = 2000;
constexpr auto kDeadline = std::chrono::seconds(180);  // the run ends by then whatever happens

std::vector<std::string> sampleCodes(const std::string& file) {
    std::vector<std::string> codes;
    std::istringstream lines(drg::testing::readFile(std::string(DRG_SOURCE_DIR "/data/sample-release/") + file));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#' && line.rfind("code\t", 0) != 0) codes.push_back(line.substr(0, line.find('\t')));
    return codes;
}

// Request bodies of both kinds: record lines, and stays given by their fields.
std::vector<std::string> requestBodies() {
    const auto diagnoses = sampleCodes("diagnoses.tsv"), procedures = sampleCodes("procedures.tsv");
    std::vector<std::string> bodies;
    for (const std::string& line : drg::testing::generatedRecords(diagnoses, procedures, 150, 21))
        bodies.push_back(json{{"record", line}}.dump());
    for (size_t i = 0; i < 50; ++i) {
        json stay = {{"effectiveDate", "2013010" + std::to_string(1 + i % 9)},
                     {"birthDate", std::to_string(1930 + i) + "0615"},
                     {"sex", i % 2 ? "M" : "F"},
                     {"stayDays", i % 30},
                     {"diagnoses", {diagnoses[i % diagnoses.size()], diagnoses[(i * 7) % diagnoses.size()]}},
                     {"procedures", {procedures[i % procedures.size()]}}};
        bodies.push_back(stay.dump());
    }
    return bodies;
}

double millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main() {
    drg::testing::TempDir release;
    const auto built = drg::testing::runProgram(DRG_TOOL_PATH, release.path(),
                                                {"tables", "build", DRG_SOURCE_DIR "/data/sample-release", release.path()});
    if (built.exitStatus != 0) {
        std::fprintf(stderr, "the sample release does not build: %s\n", built.err.c_str());
        return 1;
    }
    drg::testing::ServeProcess server(release.path(), {"--threads", std::to_string(kClients)});
    if (server.port() == 0) {
        std::fprintf(stderr, "drg serve did not start: %s\n", server.firstLine().c_str());
        return 1;
    }

    const std::vector<std::string> bodies = requestBodies();
    std::vector<std::string> serial(bodies.size());
    {
        httplib::Client client("127.0.0.1", server.port());
        for (size_t i = 0; i < bodies.size(); ++i) {
            const auto res = client.Post("/api/group", bodies[i], "application/json");
            if (!res || res->status != 200) {
                std::fprintf(stderr, "request %zu failed when sent alone\n", i);
                return 1;
            }
            serial[i] = res->body;
        }
    }

    std::atomic<int> failed{0}, differed{0};
    std::vector<std::vector<Clock::duration>> latencies(kClients);
    const auto start = Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", server.port());
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            client.set_read_timeout(10, 0);
            latencies[c].reserve(kRequestsPerClient);
            for (int k = 0; k < kRequestsPerClient; ++k) {
                if (Clock::now() - start > kDeadline) {
                    failed += kRequestsPerClient - k;
                    return;
                }
                const size_t i = static_cast<size_t>(c * 251 + k * 7) % bodies.size();
                const auto sent = Clock::now();
                const auto res = client.Post("/api/group", bodies[i], "application/json");
                latencies[c].push_back(Clock::now() - sent);
                if (!res || res->status != 200) ++failed;
                else if (res->body != serial[i]) ++differed;
            }
        });
    }
    for (auto& t : clients) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<Clock::duration> all;
    for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    const auto percentile = [&](double p) { return millis(all[std::min(all.size() - 1, static_cast<size_t>(p * static_cast<double>(all.size())))]); };
    const int stopped = server.stop(SIGTERM);

    std::printf("%d clients x %d requests over keep-alive to 127.0.0.1:%d, %zu distinct requests\n", kClients,
                kRequestsPerClient, server.port(), bodies.size());
    std::printf("%zu answers in %.2f s: %.0f requests per second\n", all.size(), seconds,
                static_cast<double>(all.size()) / seconds);
    std::printf("latency: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(0.50), percentile(0.99),
                millis(all.back()));
    std::printf("%d failed, %d differed from the serial answer; server stopped with status %d\n", failed.load(),
                differed.load(), stopped);
    return failed == 0 && differed == 0 && stopped == 0 ? 0 : 1;
}

#include "parallel_lines.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

namespace drg::python {
namespace {

// Lines a thread takes at a time: large enough that taking them costs
// nothing, small enough that the threads finish together.
constexpr size_t kLinesPerChunk = 256;

}  // namespace

GroupedLines groupLinesInParallel(WorkerPool& pool, const std::vector<std::string_view>& lines, int jobs,
                                  char* const* outputs, const std::function<bool()>& keepGoing) {
    GroupedLines grouped;
    const size_t count = lines.size();
    grouped.results.resize(count);

    const size_t chunks = (count + kLinesPerChunk - 1) / kLinesPerChunk;
    const size_t threads = std::clamp<size_t>(static_cast<size_t>(std::max(jobs, 1)), 1, std::max<size_t>(chunks, 1));
    std::vector<WorkerPool::Lease> leases;
    for (size_t t = 0; t < threads; ++t) leases.push_back(pool.lease());

    std::atomic<size_t> nextChunk{0};
    std::atomic<bool> refused{false};
    bool stopped = false;
    auto work = [&](Worker& worker, bool asks) {
        std::string scratch;
        for (size_t chunk; (chunk = nextChunk.fetch_add(1)) < chunks;) {
            const size_t end = std::min(count, (chunk + 1) * kLinesPerChunk);
            for (size_t i = chunk * kLinesPerChunk; i < end; ++i) {
                const std::string_view line = lines[i];
                char* out;
                if (outputs) {
                    out = outputs[i];
                } else {
                    scratch.resize(Worker::groupedLength(line.data(), line.size()));
                    out = scratch.data();
                }
                if (worker.groupLine(line.data(), line.size(), out, &grouped.results[i]) != GroupStatus::Ok) {
                    refused = true;
                    nextChunk = chunks;  // the others stop after their chunk
                    return;
                }
            }
            if (asks && !keepGoing()) {
                stopped = true;
                nextChunk = chunks;
                return;
            }
        }
    };
    {
        std::vector<std::jthread> helpers;  // joined when this block ends, however it ends
        for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work, std::ref(*leases[t]), false);
        work(*leases[0], true);
    }
    grouped.refused = refused;
    grouped.stopped = stopped;
    return grouped;
}

}  // namespace drg::python

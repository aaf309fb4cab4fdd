// Many threads grouping against one release at once get exactly what one
// thread gets (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "batch/batch_test_support.h"

namespace drg::testing {
namespace {

TEST(SharedRelease, EightThreadsGroupAsOneDoes) {
    TempDir dir;
    groupingRelease().write(dir.path());
    std::mt19937 rng(31);
    const std::vector<std::string> lines = mixedLines(rng, 4000);

    OpenedRelease opened = openRelease(dir.path());
    ASSERT_TRUE(opened.release) << opened.reason;
    std::vector<std::string> serial(lines.size());
    Worker one(opened.release);
    for (size_t i = 0; i < lines.size(); ++i) one.groupLine(lines[i], serial[i]);

    constexpr int kThreads = 8;
    std::vector<std::vector<std::string>> results(kThreads, std::vector<std::string>(lines.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            Worker worker(opened.release);
            // Each thread walks the lines from another starting point.
            for (size_t k = 0; k < lines.size(); ++k) {
                const size_t i = (k + static_cast<size_t>(t) * 517) % lines.size();
                worker.groupLine(lines[i], results[static_cast<size_t>(t)][i]);
            }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(results[static_cast<size_t>(t)] == serial) << "thread " << t;
}

}  // namespace
}  // namespace drg::testing

// Grouping allocates nothing once a worker exists: the library promises it,
// and a batch of millions of records relies on it. This test program's
// global allocation functions count every allocation made through them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "drg/explain.h"
#include "drg/grouper.h"
#include "drg/grouper_c.h"
#include "support/test_files.h"
#include "synth/synthetic_records.h"
#include "synth/synthetic_release.h"
#include "tables/table_writer.h"

namespace {
std::atomic<long> allocationsMade{0};
// When not negative, the allocations still to succeed before one fails.
std::atomic<long> allocationsBeforeFailure{-1};
}  // namespace

// Once inlined where the library deletes what it made with new, the free
// below looks mismatched to the compiler; it is not, new calls malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    allocationsMade.fetch_add(1, std::memory_order_relaxed);
    if (allocationsBeforeFailure.load() >= 0 && allocationsBeforeFailure.fetch_sub(1) == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace drg::testing {
namespace {

TEST(GroupingAllocation, GroupingSyntheticRecordsAllocatesNothing) {
    const synth::SyntheticRelease made = synth::makeSyntheticRelease(5);
    TempDir folder;
    std::string problem;
    ASSERT_TRUE(writeTableFiles(made.tables, folder.path(), &problem)) << problem;
    const OpenedRelease opened = openRelease(folder.path());
    ASSERT_TRUE(opened.release) << opened.reason;
    Worker worker(opened.release);

    // Records of every table version, with missing and lower-case codes,
    // newborns and long procedure lists: every step of the grouping.
    constexpr size_t kRecords = 5000;
    std::vector<char> lines(kRecords * synth::kLineLength);
    synth::RecordGenerator generator(made.catalog, 5);
    for (size_t r = 0; r < kRecords; ++r) generator.next(lines.data() + r * synth::kLineLength);
    std::vector<char> out(synth::kLineLength);

    // The counter sees this test program's allocations as well as the library's.
    const long before = allocationsMade.load();
    int grouped = 0;
    for (size_t r = 0; r < kRecords; ++r)
        grouped += worker.groupLine(lines.data() + r * synth::kLineLength, synth::kLineLength, out.data()) ==
                   GroupStatus::Ok;
    const long during = allocationsMade.load() - before;
    EXPECT_EQ(grouped, static_cast<int>(kRecords));
    EXPECT_EQ(during, 0);

    // Nor do the C interface's refusals, whose texts are kept for drg_last_error.
    drg_release* release = nullptr;
    drg_worker* cWorker = nullptr;
    ASSERT_EQ(drg_release_open(folder.path().c_str(), &release), DRG_OK);
    ASSERT_EQ(drg_worker_new(release, &cWorker), DRG_OK);
    const long beforeRefusals = allocationsMade.load();
    size_t written = 0;
    EXPECT_EQ(drg_group_line(cWorker, lines.data(), synth::kLineLength, out.data(), 10, &written, nullptr),
              DRG_BUFFER_TOO_SMALL);
    EXPECT_EQ(drg_group_record(cWorker, out.data(), 3, nullptr), DRG_INVALID_ARGUMENT);
    EXPECT_EQ(allocationsMade.load() - beforeRefusals, 0) << drg_last_error();
    drg_worker_free(cWorker);
    drg_release_close(release);

    // The counter does count: a string conveniences call allocates.
    std::string line(lines.data(), synth::kLineLength), copy;
    worker.groupLine(line, copy);
    EXPECT_GT(allocationsMade.load() - before, 0);
}

// A server or an interpreter explains records: memory running out while it
// does is an exception the caller can answer, and the worker groups on.
TEST(GroupingAllocation, ExplainingWithoutMemoryThrowsAndTheWorkerGroupsOn) {
    const synth::SyntheticRelease made = synth::makeSyntheticRelease(5);
    TempDir folder;
    std::string problem;
    ASSERT_TRUE(writeTableFiles(made.tables, folder.path(), &problem)) << problem;
    Worker worker(openRelease(folder.path()).release);
    constexpr size_t kRecords = 20;
    std::vector<char> lines(kRecords * synth::kLineLength);
    synth::RecordGenerator generator(made.catalog, 5);
    for (size_t r = 0; r < kRecords; ++r) generator.next(lines.data() + r * synth::kLineLength);
    const auto line = [&](size_t r) { return std::string_view(&lines[r * synth::kLineLength], synth::kLineLength); };
    std::vector<std::string> expected(kRecords);
    for (size_t r = 0; r < kRecords; ++r) worker.groupLine(line(r), expected[r]);

    // The n-th allocation of an explanation fails, for every n until one completes.
    long failures = 0;
    for (Explanation e;; ++failures) {
        allocationsBeforeFailure = failures;
        try {
            worker.explainLine(line(0), e);
            break;
        } catch (const std::bad_alloc&) {
        }
        allocationsBeforeFailure = -1;
        std::string out;
        for (size_t r = 0; r < kRecords; ++r) {
            worker.groupLine(line(r), out);
            ASSERT_EQ(out, expected[r]) << "record " << r << " after allocation " << failures << " failed";
        }
    }
    allocationsBeforeFailure = -1;
    EXPECT_GT(failures, 10);
}

}  // namespace
}  // namespace drg::testing

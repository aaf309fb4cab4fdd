// Any number of workers writes exactly what one worker writes: the same
// bytes, the same console lines, the same status.
#include <gtest/gtest.h>

#include "batch/batch_test_support.h"

namespace drg::testing {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

class ParallelBatch : public ::testing::Test {
protected:
    void SetUp() override { groupingRelease().write(dir_.path()); }

    void expectSameForEveryWorkerCount(const std::vector<std::string>& lines) {
        writeFile(dir_.file("valtic.in"), joined(lines));
        const std::string expected = groupedOneByOne(dir_.path(), lines);
        for (int workers : {1, 2, 7}) {
            const BatchOutcome run = runBatchInProcess(dir_.path(), workers);
            EXPECT_EQ(run.status, kExitComplete) << workers << " workers";
            EXPECT_EQ(run.console, progressLines(lines.size())) << workers << " workers";
            ASSERT_EQ(run.output.size(), expected.size()) << workers << " workers";
            EXPECT_TRUE(run.output == expected) << workers << " workers";
        }
    }

    TempDir dir_;
};

TEST_F(ParallelBatch, MixedLinesComeOutInOrderWhateverTheWorkerCount) {
    std::mt19937 rng(11);
    expectSameForEveryWorkerCount(mixedLines(rng, 23456));
}

TEST_F(ParallelBatch, LinesLongerThanTheReadWindowAreOneRecordEach) {
    std::mt19937 rng(12);
    std::vector<std::string> lines = mixedLines(rng, 50);
    lines.back() += "\n";
    lines.push_back(RecordBuilder().date("20120615").diagnoses({"G40.0"}).text() + std::string(kMiB + 77, 'a') + "\n");
    lines.push_back(std::string(2 * kMiB, 'b') + "\r\n");  // ends exactly after two windows and a bit
    lines.push_back(std::string(kMiB - 1, 'c') + "\n");      // just fits a window
    lines.push_back(std::string(3 * kMiB + 5, 'd'));         // the file ends inside it
    expectSameForEveryWorkerCount(lines);
}

TEST_F(ParallelBatch, EmptyInputWritesNothing) {
    writeFile(dir_.file("valtic.in"), "");
    for (int workers : {1, 7}) {
        const BatchOutcome run = runBatchInProcess(dir_.path(), workers);
        EXPECT_EQ(run.status, kExitComplete);
        EXPECT_EQ(run.console, "");
        EXPECT_EQ(run.output, "");
    }
}

TEST_F(ParallelBatch, DisagreeingConditionKindsStopAtTheFirstRecord) {
    TableBuilder release = groupingRelease();
    release.conditionKind(790, 't');
    release.write(dir_.path());
    std::mt19937 rng(13);
    writeFile(dir_.file("valtic.in"), joined(mixedLines(rng, 30000)));
    for (int workers : {1, 2, 7}) {
        const BatchOutcome run = runBatchInProcess(dir_.path(), workers);
        EXPECT_EQ(run.status, kExitFailed);
        EXPECT_EQ(run.console, "logic setting missing or error\n");
        EXPECT_EQ(run.output, "");
    }
}

}  // namespace
}  // namespace drg::testing

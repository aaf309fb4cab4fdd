// Any number of workers writes exactly what one worker writes: the same
// bytes, the same console lines, the same status.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(ParallelBatch, AnInputThatEndsInsideALongLineOnAWindowBoundaryIsComplete) {
    expectSameForEveryWorkerCount({std::string(kMiB, 'e')});
}

TEST_F(ParallelBatch, ALineThatComesThroughAPipeInTwoPartsIsOneRecord) {
    const std::string line = RecordBuilder().date("20120615").diagnoses({"G40.0"}).text() + "\n";
    ASSERT_EQ(::mkfifo(dir_.file("valtic.in").c_str(), 0600), 0);
    std::thread writer([&] {
        std::ofstream in(dir_.file("valtic.in"), std::ios::binary);
        in << line.substr(0, 100) << std::flush;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        in << line.substr(100);
    });
    const BatchOutcome run = runBatchInProcess(dir_.path(), 2);
    // A run that never opened the input would leave the writer waiting for a reader for ever.
    const int reader = ::open(dir_.file("valtic.in").c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (reader >= 0) ::close(reader);
    EXPECT_EQ(run.status, kExitComplete);
    EXPECT_EQ(run.output, groupedOneByOne(dir_.path(), {line}));
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

// The system's calls, with the output's opening held up until the input has
// been read past a number of bytes (or twenty seconds have passed), as when
// truncating an old output takes a while.
class SlowOutputIo final : public FileIo {
public:
    explicit SlowOutputIo(size_t readBeforeOpening) : readBeforeOpening_(readBeforeOpening) {}

    int open(const std::string& path, OpenMode mode) override {
        if (mode == OpenMode::Write) {
            std::unique_lock lock(mutex_);
            readAhead_ = moreRead_.wait_for(lock, std::chrono::seconds(20), [&] { return read_ >= readBeforeOpening_; });
        }
        return systemFileIo().open(path, mode);
    }
    ssize_t read(int fd, char* buffer, size_t size) override {
        const ssize_t n = systemFileIo().read(fd, buffer, size);
        if (n > 0) {
            std::lock_guard lock(mutex_);
            read_ += static_cast<size_t>(n);
        }
        moreRead_.notify_all();
        return n;
    }
    ssize_t write(int fd, const char* data, size_t size) override { return systemFileIo().write(fd, data, size); }
    int close(int fd) override { return systemFileIo().close(fd); }

    bool readAhead() {
        std::lock_guard lock(mutex_);
        return readAhead_;
    }

private:
    std::mutex mutex_;
    std::condition_variable moreRead_;
    size_t readBeforeOpening_;
    size_t read_ = 0;
    bool readAhead_ = false;
};

TEST_F(ParallelBatch, TheInputIsReadAndGroupedAheadWhileTheOutputStillOpens) {
    std::mt19937 rng(14);
    const std::vector<std::string> lines = mixedLines(rng, 40000);
    writeFile(dir_.file("valtic.in"), joined(lines));
    ASSERT_GT(joined(lines).size(), 12 * kMiB);
    const std::string expected = groupedOneByOne(dir_.path(), lines);
    for (int workers : {1, 2}) {
        // More windows than the jobs that go round once the output is open.
        SlowOutputIo io(10 * kMiB);
        const BatchOutcome run = runBatchInProcess(dir_.path(), workers, &io);
        EXPECT_TRUE(io.readAhead()) << workers << " workers";
        EXPECT_EQ(run.status, kExitComplete) << workers << " workers";
        EXPECT_EQ(run.console, progressLines(lines.size())) << workers << " workers";
        EXPECT_TRUE(run.output == expected) << workers << " workers";
    }
}

}  // namespace
}  // namespace drg::testing

// Every open, read, write and close of a batch made to fail in turn, once or
// from then on: the console line and status say what failed, and what was
// written before the failure is whole records of the right output. And the
// output is written out behind the run only where it was already written.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "batch/batch_test_support.h"
#include "batch/line_pipeline.h"

namespace drg::testing {
namespace {

enum Operation { kOpen, kRead, kWrite, kClose, kOperations };
constexpr std::array<const char*, kOperations> kOperationNames = {"open", "read", "write", "close"};

// The system's calls, with the Nth call of one operation failing once or
// from then on; counts every operation either way.
class FaultyIo final : public FileIo {
public:
    FaultyIo(Operation failing, int nth, bool persistent) : failing_(failing), nth_(nth), persistent_(persistent) {}

    int open(const std::string& path, OpenMode mode) override {
        return fails(kOpen) ? -1 : systemFileIo().open(path, mode);
    }
    ssize_t read(int fd, char* buffer, size_t size) override {
        // Small reads, so that a small input takes many of them.
        return fails(kRead) ? -1 : systemFileIo().read(fd, buffer, size < 5000 ? size : 5000);
    }
    ssize_t write(int fd, const char* data, size_t size) override {
        return fails(kWrite) ? -1 : systemFileIo().write(fd, data, size < 7000 ? size : 7000);
    }
    int close(int fd) override {
        const bool failed = fails(kClose);
        systemFileIo().close(fd);
        return failed ? -1 : 0;
    }
    int count(Operation op) const { return counts_[op]; }

private:
    bool fails(Operation op) {
        const int n = ++counts_[op];
        return op == failing_ && (n == nth_ || (persistent_ && n > nth_));
    }

    Operation failing_;
    int nth_;
    bool persistent_;
    std::array<int, kOperations> counts_{};
};

TEST(BatchIoFaults, EachFailureIsReportedAndLosesNoEarlierRecord) {
    TempDir dir;
    groupingRelease().write(dir.path());
    std::mt19937 rng(21);
    const std::vector<std::string> lines = mixedLines(rng, 400);
    writeFile(dir.file("valtic.in"), joined(lines));
    const std::string expected = groupedOneByOne(dir.path(), lines);
    std::vector<size_t> lineEnds;  // offsets in the output where a record ends
    {
        OpenedRelease opened = openRelease(dir.path());
        size_t at = 0;
        for (const auto& line : lines) lineEnds.push_back(at += Worker::groupedLength(line.data(), line.size()));
    }

    FaultyIo clean(kOperations, 0, false);
    ASSERT_EQ(runBatchInProcess(dir.path(), 2, &clean).output, expected);
    ASSERT_GT(clean.count(kRead), 5);
    ASSERT_GT(clean.count(kWrite), 5);

    for (int op = 0; op < kOperations; ++op) {
        for (bool persistent : {false, true}) {
            for (int nth = 1; nth <= clean.count(static_cast<Operation>(op)); ++nth) {
                for (int workers : {1, 3}) {
                    FaultyIo io(static_cast<Operation>(op), nth, persistent);
                    const BatchOutcome run = runBatchInProcess(dir.path(), workers, &io);
                    const std::string what = std::string(kOperationNames[op]) + " " + std::to_string(nth) +
                                             (persistent ? " from then on, " : " once, ") +
                                             std::to_string(workers) + " workers";
                    std::string line;
                    switch (op) {
                    case kOpen: line = nth == 1 ? "file in open error\n" : "file out open error\n"; break;
                    case kRead: line = "file in read error\n"; break;
                    case kWrite: line = "file out write error\n"; break;
                    case kClose:  // the input is closed first; its failure harms nothing
                        line = nth == 1 && !persistent ? "" : "file out write error\n";
                        break;
                    }
                    EXPECT_EQ(run.console, line) << what;
                    EXPECT_EQ(run.status, line.empty() ? kExitComplete : kExitFailed) << what;
                    if (op == kOpen) continue;
                    if (op == kClose || op == kRead) {
                        // Whatever reached the file is a run of whole records from the first.
                        ASSERT_LE(run.output.size(), expected.size()) << what;
                        EXPECT_EQ(run.output, expected.substr(0, run.output.size())) << what;
                        const bool whole = run.output.empty() ||
                                           std::find(lineEnds.begin(), lineEnds.end(), run.output.size()) != lineEnds.end();
                        EXPECT_TRUE(whole) << what << ": output ends inside a record";
                        if (op == kClose) {
                            EXPECT_EQ(run.output, expected) << what;
                        }
                    } else {
                        // Writes before the failing one reached the file in order.
                        EXPECT_EQ(run.output, expected.substr(0, run.output.size())) << what;
                    }
                }
            }
        }
    }
}

TEST(BatchIoFaults, ProgressLinesPrecedeTheErrorLine) {
    TempDir dir;
    groupingRelease().write(dir.path());
    std::mt19937 rng(22);
    const std::vector<std::string> lines = mixedLines(rng, 25000);
    writeFile(dir.file("valtic.in"), joined(lines));
    FaultyIo clean(kOperations, 0, false);
    runBatchInProcess(dir.path(), 2, &clean);
    // Fail the last write: every record before it was written and counted.
    for (int workers : {1, 2, 7}) {
        FaultyIo io(kWrite, clean.count(kWrite), false);
        const BatchOutcome run = runBatchInProcess(dir.path(), workers, &io);
        EXPECT_EQ(run.status, kExitFailed);
        EXPECT_EQ(run.console, "record_count = [10000]\nrecord_count = [20000]\nfile out write error\n")
            << workers << " workers";
    }
}

// The system's calls, with the input file cut to two thirds of its length
// after the first read, as another program truncating it would.
class CuttingIo final : public FileIo {
public:
    explicit CuttingIo(std::string input) : input_(std::move(input)) {}

    int open(const std::string& path, OpenMode mode) override { return systemFileIo().open(path, mode); }
    ssize_t read(int fd, char* buffer, size_t size) override {
        const ssize_t n = systemFileIo().read(fd, buffer, size < 5000 ? size : 5000);
        if (!cut_) cut_ = ::truncate(input_.c_str(), static_cast<off_t>(readFile(input_).size() * 2 / 3)) == 0;
        return n;
    }
    ssize_t write(int fd, const char* data, size_t size) override { return systemFileIo().write(fd, data, size); }
    int close(int fd) override { return systemFileIo().close(fd); }

private:
    std::string input_;
    bool cut_ = false;
};

// The lines after the cut are lost and the last one read may be cut too:
// a read error, with the output whole records from the first.
TEST(BatchIoFaults, AnInputCutWhileItIsReadIsAReadError) {
    TempDir dir;
    groupingRelease().write(dir.path());
    std::mt19937 rng(24);
    const std::vector<std::string> lines = mixedLines(rng, 6000);
    writeFile(dir.file("valtic.in"), joined(lines));
    ASSERT_GT(joined(lines).size(), 2 * kReadWindow);
    const std::string expected = groupedOneByOne(dir.path(), lines);
    CuttingIo io(dir.file("valtic.in"));
    const BatchOutcome run = runBatchInProcess(dir.path(), 2, &io);
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.console, "file in read error\n");
    ASSERT_LT(run.output.size(), expected.size());
    EXPECT_EQ(run.output, expected.substr(0, run.output.size()));
    size_t at = 0;
    for (size_t i = 0; at < run.output.size(); ++i) at += Worker::groupedLength(lines[i].data(), lines[i].size());
    EXPECT_EQ(at, run.output.size()) << "output ends inside a record";
}

// A pipe left non-blocking by whatever started the program: a read finds it
// empty and a write finds it full, and every byte still goes through.
TEST(SystemIo, ANonBlockingPipeIsWaitedFor) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    for (const int end : ends) ASSERT_EQ(::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK), 0);
    const std::string sent(1 << 20, 's');
    bool written = false;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reader finds nothing yet
        written = writeFully(systemFileIo(), ends[1], sent.data(), sent.size());
        ::close(ends[1]);
    });
    std::string received(sent.size() + 1, 'r');
    const ssize_t n = readFully(systemFileIo(), ends[0], received.data(), received.size());
    writer.join();
    ::close(ends[0]);
    EXPECT_TRUE(written);
    EXPECT_EQ(n, static_cast<ssize_t>(sent.size()));
    EXPECT_EQ(received.find('r'), sent.size());
}

// The system's calls, noting how much of the output was written when each
// write-behind was asked for.
class WriteBehindIo final : public FileIo {
public:
    int open(const std::string& path, OpenMode mode) override {
        const int fd = systemFileIo().open(path, mode);
        if (mode == OpenMode::Write) output_ = fd;
        return fd;
    }
    ssize_t read(int fd, char* buffer, size_t size) override { return systemFileIo().read(fd, buffer, size); }
    ssize_t write(int fd, const char* data, size_t size) override {
        const ssize_t n = systemFileIo().write(fd, data, size);
        if (fd == output_ && n > 0) written_ += static_cast<uint64_t>(n);
        return n;
    }
    int close(int fd) override { return systemFileIo().close(fd); }
    void writeBehind(int fd, uint64_t offset, uint64_t length) override {
        EXPECT_EQ(fd, output_);
        EXPECT_EQ(offset, startedUpTo);  // each range follows the last
        EXPECT_LE(offset + length, written_) << "asked to write out bytes not yet written";
        startedUpTo = offset + length;
        systemFileIo().writeBehind(fd, offset, length);
    }

    uint64_t startedUpTo = 0;

private:
    int output_ = -1;
    uint64_t written_ = 0;
};

TEST(BatchWriteBehind, FollowsTheWrittenOutputAndChangesNothing) {
    TempDir dir;
    groupingRelease().write(dir.path());
    std::mt19937 rng(23);
    std::vector<std::string> lines = mixedLines(rng, 2000);
    lines.back() += "\n";
    // 38,000 records of 307 bytes each: about 12 MB of output.
    lines.resize(40000, RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0"}).text() + "\n");
    writeFile(dir.file("valtic.in"), joined(lines));
    const std::string expected = groupedOneByOne(dir.path(), lines);
    for (int workers : {1, 3}) {
        WriteBehindIo io;
        const BatchOutcome run = runBatchInProcess(dir.path(), workers, &io);
        EXPECT_EQ(run.status, kExitComplete);
        EXPECT_EQ(run.output, expected) << workers << " workers";
        // Started once, after the first 8 MiB: the output but its last few megabytes.
        EXPECT_GE(io.startedUpTo, WriteBehind::kEvery);
        EXPECT_LT(io.startedUpTo, 2 * WriteBehind::kEvery);
    }
}

}  // namespace
}  // namespace drg::testing

// drg-batch and `drg group` as an unattended run meets them: short lines by
// the million, a file size limit, a memory limit, and the progress line on a
// terminal that the records may go to as well.
#include <gtest/gtest.h>

#include <filesystem>

#include "commands/command_test_support.h"

namespace drg::testing {
namespace {

const std::string kBatch = DRG_BATCH_PATH;

// A folder with the grouping release and 20000 records as in.txt.
class ResourceLimits : public ::testing::Test {
protected:
    void SetUp() override {
        groupingRelease().write(dir_.path());
        writeRepeated(dir_.file("in.txt"),
                      RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).line(),
                      20000);
    }

    TempDir dir_;
};

// Every empty line comes out as a record of 306 bytes: a read window of them
// would need some 300 MiB of output, which the runs must not hold at once.
TEST_F(ResourceLimits, MillionsOfEmptyLinesTakeNoMoreMemoryThanRecords) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers hold freed memory back";
#endif
    writeFile(dir_.file("empty.txt"), std::string(3'000'000, '\n'));
    for (const std::string& group : {"exec " + kBatch, std::string("exec drg group --tables . valtic.in -o /dev/null")}) {
        long peakKib[2] = {};
        for (int i = 0; i < 2; ++i) {
            const std::string link = std::string("ln -sf ") + (i ? "empty.txt" : "in.txt") + " valtic.in && ";
            const ProcessResult run = runShell(dir_.path(), "ln -sf /dev/null valtic.out && " + link + group);
            ASSERT_EQ(run.exitStatus, group.find("batch") != std::string::npos ? 1 : 0) << group << ": " << run.err;
            peakKib[i] = run.peakKib;
        }
        // A few read windows per worker at most; unbounded output took gigabytes.
        EXPECT_LT(peakKib[1], peakKib[0] + 256 * 1024) << group << ": " << peakKib[0] << " KiB, then " << peakKib[1];
    }
}

// The file size limit (`ulimit -f`) is a write error like a full disk, not
// an end by signal that loses the console lines and the status.
TEST_F(ResourceLimits, TheFileSizeLimitIsAWriteError) {
    std::filesystem::create_symlink("in.txt", dir_.file("valtic.in"));
    struct Case {
        std::string command;
        int status;
        std::string out, err;
    } cases[] = {
        {"ulimit -f 100 && exec " + kBatch, 0, "file out write error\n", ""},
        {"ulimit -f 100 && exec " + kDrg + " group --tables . in.txt -o out.txt", 1, "",
         "drg group: cannot write output out.txt: File too large\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = runShell(dir_.path(), c.command);
        EXPECT_EQ(r.exitStatus, c.status) << c.command;
        EXPECT_EQ(r.out, c.out) << c.command;
        EXPECT_EQ(r.err, c.err) << c.command;
    }
}

// Under a memory limit (`ulimit -v`) from too low to start up to enough, a
// run completes, or fails with its failure status and one line on standard
// error saying why: never an abort.
TEST_F(ResourceLimits, UnderAnyMemoryLimitARunCompletesOrSaysWhyItFailed) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than the limits give";
#endif
    std::filesystem::create_symlink("in.txt", dir_.file("valtic.in"));
    struct Program {
        std::string command;
        int complete, failed;
    } programs[] = {{kBatch, 1, 0}, {kDrg + " group --tables . --jobs 2 in.txt -o out.txt", 0, 1}};
    int completed = 0, failed = 0;
    for (int mib = 8; mib <= 200; mib += 4) {
        for (const Program& p : programs) {
            const std::string command = "ulimit -v " + std::to_string(mib * 1024) + " && exec " + p.command;
            const ProcessResult r = runShell(dir_.path(), command);
            if (r.exitStatus == 127) continue;  // too little to load the program at all
            if (r.exitStatus == p.complete) {
                ++completed;
                continue;
            }
            ++failed;
            EXPECT_EQ(r.exitStatus, p.failed) << command << ": " << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << command << ": " << r.err;
            EXPECT_EQ(r.err.find("terminate"), std::string::npos) << command << ": " << r.err;
        }
    }
    EXPECT_GT(completed, 0);
    EXPECT_GT(failed, 0);
}

// The progress line is not ended: records written to the same terminal would
// land behind it, and it over them.
TEST_F(ResourceLimits, TheProgressLineIsLeftOutWhenTheRecordsGoToTheTerminal) {
    if (runShell(dir_.path(), "command -v script").exitStatus != 0) GTEST_SKIP() << "no script(1) for a terminal";
    const struct {
        const char* output;
        bool progress;
    } cases[] = {{"-o out.txt", true}, {"", false}};
    for (const auto& c : cases) {
        const std::string group = kDrg + " group --tables . in.txt " + c.output;
        const ProcessResult r = runShell(dir_.path(), "script -qec '" + group + "' /dev/null");
        EXPECT_EQ(r.exitStatus, 0) << group << ": " << r.err;
        EXPECT_EQ(r.out.find("records/s") != std::string::npos, c.progress) << group;
        if (c.progress) {
            // Wiped at the end, so that the next line starts clean.
            EXPECT_EQ(r.out.substr(r.out.size() - 4), "\r\033[K") << group;
        } else {
            EXPECT_EQ(r.out.find("\033[K"), std::string::npos) << group;
        }
    }
}

}  // namespace
}  // namespace drg::testing

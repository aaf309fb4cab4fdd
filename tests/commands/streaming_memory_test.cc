// The programs stream: ten times the records take no more memory, whether
// grouped by drg-batch, `drg group` or `drg diff`, and a long line no more
// than a short one. An input or output held whole would add some 80 MiB here.
#include <gtest/gtest.h>

#include <filesystem>

#include "commands/command_test_support.h"

namespace drg::testing {
namespace {

struct PeakMemory {
    long small = 0;
    long large = 0;
};

TEST(StreamingMemory, TenTimesTheRecordsTakeNoMoreMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers hold freed memory back";
#endif
    TempDir dir;
    const std::string large = dir.file("large"), small = dir.file("small");
    ASSERT_EQ(runProgram(kDrg, dir.path(), {"synth", "--seed", "4", "--records", "300000", large}).exitStatus, 0);
    std::filesystem::create_directory(small);
    for (const auto& entry : std::filesystem::directory_iterator(large))
        if (entry.path().filename() != "valtic.in")
            std::filesystem::create_symlink(entry.path(), small + "/" + entry.path().filename().string());
    ASSERT_EQ(runShell(dir.path(), "head -n 30000 large/valtic.in > small/valtic.in").exitStatus, 0);

    auto peaks = [&](const std::string& program, auto args) {
        PeakMemory peak;
        for (const std::string& folder : {small, large}) {
            const ProcessResult run = runProgram(program, folder, args(folder));
            EXPECT_EQ(run.exitStatus, program == kDrg ? 0 : 1) << program << " " << folder << ": " << run.err;
            (folder == small ? peak.small : peak.large) = run.peakKib;
        }
        return peak;
    };
    const PeakMemory batch = peaks(DRG_BATCH_PATH, [](const std::string&) { return std::vector<std::string>{}; });
    const PeakMemory group = peaks(kDrg, [&](const std::string& folder) {
        return std::vector<std::string>{"group", "--tables", large, "-o", "out.txt", folder + "/valtic.in"};
    });
    const PeakMemory diff = peaks(kDrg, [&](const std::string& folder) {
        return std::vector<std::string>{"diff", "--from", large, "--to", large, folder + "/valtic.in"};
    });
    // Read windows kept spare while an output opens can add up to 32 MiB.
    constexpr long kSlackKib = 40 * 1024;
    for (const auto& [name, peak] : {std::pair{"drg-batch", batch}, {"drg group", group}, {"drg diff", diff}}) {
        EXPECT_GT(peak.small, 0) << name;
        EXPECT_LT(peak.large, peak.small + kSlackKib) << name << ": " << peak.small << " KiB, then " << peak.large;
    }
}

// A line is grouped by its first read window: a line of 100 MB costs
// drg explain no more memory than a short one.
TEST(StreamingMemory, ExplainKeepsOnlyAReadWindowOfALongLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers hold freed memory back";
#endif
    TempDir dir;
    ASSERT_EQ(runProgram(kDrg, dir.path(), {"synth", "--records", "3", "rel"}).exitStatus, 0);
    ASSERT_EQ(runShell(dir.path(), "{ head -c 100000000 /dev/zero | tr '\\0' x; echo; cat rel/valtic.in; } > long.txt")
                  .exitStatus,
              0);
    long peakKib[2] = {};
    for (int i = 0; i < 2; ++i) {
        const std::string input = i ? "long.txt" : "rel/valtic.in";
        const ProcessResult run = runProgram(kDrg, dir.path(), {"explain", "--tables", "rel", "--line", "2", input});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        peakKib[i] = run.peakKib;
    }
    EXPECT_LT(peakKib[1], peakKib[0] + 16 * 1024) << peakKib[0] << " KiB, then " << peakKib[1];
}

}  // namespace
}  // namespace drg::testing

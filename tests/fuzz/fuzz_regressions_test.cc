// The fuzz harnesses without libFuzzer: every input a fuzz target once
// stopped on (kept in fuzz/regressions/<target>/) must now run clean, and
// the inputs the targets start from must run clean and reach grouping, or
// the harness would hide faults instead of finding them.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness/record_harness.h"
#include "harness/table_bytes_harness.h"
#include "record/record_layout.h"
#include "support/test_files.h"

namespace drg::fuzz {
namespace {

struct Target {
    const char* name;
    FuzzOutcome (*run)(const uint8_t*, size_t);
    std::vector<std::string> (*seeds)();
};

const Target kTargets[] = {{"table_bytes", runTableBytes, tableBytesSeeds}, {"record", runRecord, recordSeeds}};

FuzzOutcome runOn(const Target& target, const std::string& bytes) {
    return target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(FuzzRegressions, KeptInputsRunClean) {
    size_t kept = 0;
    for (const Target& target : kTargets) {
        const std::filesystem::path folder = std::filesystem::path(DRG_FUZZ_REGRESSIONS) / target.name;
        if (!std::filesystem::exists(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            ++kept;
            EXPECT_EQ(runOn(target, testing::readFile(entry.path().string())).fault, "") << entry.path();
        }
    }
    // With nothing kept the test has checked nothing: say so rather than pass.
    if (kept == 0) GTEST_SKIP() << "no kept inputs in " << DRG_FUZZ_REGRESSIONS;
}

TEST(FuzzHarnesses, StartingInputsRunCleanAndGroup) {
    for (const Target& target : kTargets) {
        const std::vector<std::string> seeds = target.seeds();
        size_t grouped = 0;
        for (const std::string& seed : seeds) {
            const FuzzOutcome outcome = runOn(target, seed);
            EXPECT_EQ(outcome.fault, "") << target.name;
            grouped += outcome.reachedGrouping;
        }
        // Every pristine table file loads; most probe records find an MDC.
        EXPECT_GE(grouped * 4, seeds.size() * 3) << target.name;
    }
}

TEST(FuzzHarnesses, RefusedDamageIsNoFault) {
    // A diagnosis index shorter than its header, and one whose header asks
    // for far more codes than it holds: both refused with a reason.
    const std::string header = "65535" + std::string(95, ' ');
    for (const std::string& input : {std::string(1, '\0') + "65535", std::string(1, '\0') + header}) {
        const FuzzOutcome outcome = runOn(kTargets[0], input);
        EXPECT_FALSE(outcome.reachedGrouping);
        EXPECT_EQ(outcome.fault, "");
    }
}

TEST(FuzzHarnesses, GroupedRecordCheckFindsEachKindOfDamage) {
    const std::string input = recordSeeds().front();
    std::string good = input;
    ASSERT_EQ(runOn(kTargets[1], input).fault, "");
    good.replace(static_cast<size_t>(kMdcOut.offset), 22, "0000000000000020130201");
    ASSERT_EQ(checkGroupedRecord(input, good), "");
    struct Damage {
        size_t at;
        char byte;
    };
    for (const Damage d : {Damage{0, '#'}, Damage{static_cast<size_t>(kPcclOut.offset), '5'},
                           Damage{static_cast<size_t>(kVersionDateOut.offset), '1'}}) {
        std::string bad = good;
        bad[d.at] = d.byte;
        EXPECT_NE(checkGroupedRecord(input, bad), "") << d.at;
    }
    EXPECT_NE(checkGroupedRecord(input, good + " "), "");
}

}  // namespace
}  // namespace drg::fuzz

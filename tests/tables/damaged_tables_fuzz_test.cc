// Whatever bytes a table set holds, loading either refuses it or gives
// tables that group any record without reading outside an array. Random
// damage to a consistent release is loaded, and whatever loads groups a set
// of records that reach every table. (Run under the sanitizers, an access
// outside an array fails the run.)
#include <gtest/gtest.h>

#include <random>
#include <type_traits>
#include <string>
#include <vector>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "support/record_builder.h"
#include "support/table_builder.h"
#include "support/test_files.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"

namespace drg::testing {
namespace {

// Small values a damaged field most often takes: near the bounds of some array.
int16_t nastyValue(std::mt19937& rng) {
    static const int16_t values[] = {-32768, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 20, 48, 853, 854, 855, 32767};
    return values[rng() % (sizeof values / sizeof values[0])];
}

TableBuilder richRelease() {
    TableBuilder b;
    const int mdc1 = b.mdc("01 "), mdc2 = b.mdc("02 ");
    const int a1 = b.adrg("B010"), a2 = b.adrg("C020");
    b.drg("B010A");
    b.drg("B010B");
    b.drg("C020A");
    b.conditionSlots(100, 1, 1);
    b.conditionSlots(373, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.diagnosisCondition("N40", 373);
    b.diagnosisCondition("I10", 357);
    b.procedureCondition("5-010", 357);
    b.procedureCondition("5-020", 743);
    b.daggerPair("A17.0", "G01");
    b.decisionRow({.range = 1, .mustSet = {100}, .mdc = mdc1, .adrg = a1});
    b.decisionRow({.range = 1, .mustSet = {}, .mustClear = {100}, .mdc = mdc2, .adrg = a2});
    b.decisionRow({.range = mdc1, .mustSet = {805}, .mdc = 0, .adrg = a1});
    b.decisionRow({.range = mdc2, .mustSet = {}, .mdc = 0, .adrg = a2});
    b.refinementRow("B010", 0, 17, 'A');
    b.refinementRow("B010", 18, 120, 'B');
    b.refinementRow("C020", -1, 120, 'A');
    b.levelRow("I10", {{"B010", '3'}, {"C020", '2'}});
    b.levelRow("N40", {{"B010", '4'}});
    b.levelRow("A17.0", {}, '1');
    b.exclusions("I10", {"G40.0", "N40"});
    b.exclusions("N40", {"I10"});
    b.splitRow("B010A", "01234");
    b.splitRow("B010B", "ABCDE");
    b.splitRow("C020A", "VWXYZ");
    return b;
}

std::vector<std::string> records() {
    std::vector<std::string> lines;
    for (const char* date : {"20040101", "20100101", "20130101"})
        for (char sex : {'1', '2'}) {
            lines.push_back(RecordBuilder().birthDate("500615").sex(sex).date(date)
                                .diagnoses({"G40.0", "I10", "N40", "A17.0", "G01"})
                                .procedures({"5-010", "5-020"}).text());
            lines.push_back(RecordBuilder().birthDate("100615").sex(sex).date(date)
                                .diagnoses({"A17.0", "G01", "I10"}).text());
        }
    return lines;
}

TEST(DamagedTables, LoadRefusesOrGroupsWithinBounds) {
    TempDir dir;
    const TableSet pristine = richRelease().build();
    std::mt19937 rng(2024);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        TableSet damaged = pristine;
        // Damage a few values of one file's arrays, keeping its counts.
        const int file = static_cast<int>(rng() % kTableFileCount);
        for (int hit = 0; hit < 3; ++hit) {
            int chosen = static_cast<int>(rng() % 8), index = 0;
            forEachArray(damaged, file, [&](auto& array, size_t) {
                if (index++ != chosen || array.empty()) return;
                auto& value = array[rng() % array.size()];
                value = static_cast<std::remove_reference_t<decltype(value)>>(nastyValue(rng));
            });
        }
        // Sometimes a count as well: the file then holds too little or too much.
        if (rng() % 4 == 0) {
            auto counts = fileCounts(damaged, file);
            counts[rng() % 2] += static_cast<int>(rng() % 5) - 2;
            setFileCounts(damaged, file, counts);
        }
        richRelease().write(dir.path());
        std::string problem;
        ASSERT_TRUE(writeTableFile(damaged, file, dir.path(), &problem)) << problem;

        Release release;
        if (loadRelease(release, dir.path(), &problem) != kLoadOk) {
            ++refused;
            EXPECT_FALSE(problem.empty());
            continue;
        }
        ++loaded;
        ClaimState state;
        initClaimState(state, release);
        // Damaged condition kinds make every record refused.
        for (std::string line : records()) {
            const int result = groupRecord(state, release, line.data(), line.size());
            EXPECT_TRUE(result == kGroupOk || result == kGroupLogicError);
        }
    }
    // Both outcomes must occur, or the damage says nothing.
    EXPECT_GT(loaded, 50);
    EXPECT_GT(refused, 50);
}

}  // namespace
}  // namespace drg::testing

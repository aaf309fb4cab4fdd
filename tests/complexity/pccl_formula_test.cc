// The PCCL formula over the nine secondary levels in descending order.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "complexity/complexity.h"

namespace drg {
namespace {

struct FormulaCase {
    std::vector<int16_t> levels;  // descending; missing places are 0
    int16_t pccl;
};

std::string describe(const std::vector<int16_t>& levels) {
    std::string s;
    for (int16_t l : levels) s += std::to_string(l) + " ";
    return s;
}

int16_t pcclOf(std::vector<int16_t> levels) {
    levels.resize(9, 0);
    return pcclFromSortedLevels(levels.data(), 9);
}

TEST(PcclFormula, WeighsTheKthLargestLevelByEToTheMinus04K) {
    const std::vector<FormulaCase> cases = {
        {{}, 0},
        {{1}, 1},
        {{2}, 2},
        {{3}, 3},
        {{4}, 3},  // a single level 4 is not enough for 4
        {{4, 4}, 4},
        {{3, 3}, 4},
        {{2, 2}, 3},
        {{1, 1}, 2},
        {{2, 1}, 3},
        {{4, 1}, 3},
        {{3, 2}, 3},
        {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 3},
        {{4, 4, 4, 4, 4, 4, 4, 4, 4}, 4},  // x is about 5.56: capped
        {{2, 2, 2, 2, 2, 2, 2, 2, 2}, 4},
    };
    for (const auto& c : cases) EXPECT_EQ(pcclOf(c.levels), c.pccl) << describe(c.levels);
}

TEST(PcclFormula, NegativeLevelsNeverLeaveZeroToFour) {
    // Matrix bytes below "0" give negative levels ("/" is -1, NUL is -48).
    const std::vector<FormulaCase> cases = {
        {{1, 0, 0, 0, 0, 0, 0, 0, -1}, 1},        // S about 0.96
        {{2, -1, -1, -1, -1, -1, -1, -1, -1}, 0},  // S about 0.05: x below 1
        {{1, -1, -1, -1, -1, -1, -1, -1, -1}, 0},  // S about -0.95: x about -5.5
        {{-1}, 0},                                 // S = -1: ln 0
        {{-2}, 0},                                 // S below -1: not a number
        {{4, -48, -48, -48, -48, -48, -48, -48, -48}, 0},
        {{-48, -48, -48, -48, -48, -48, -48, -48, -48}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(pcclOf(c.levels), c.pccl) << describe(c.levels);
}

// Levels in record order give the formula's PCCL of the same levels sorted,
// whether read from the table of usual levels or worked out for others.
TEST(PcclFormula, LevelsInAnyOrderGiveTheFormulaOfTheSortedLevels) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 20000; ++trial) {
        std::vector<int16_t> levels(9);
        const bool unusual = trial % 10 == 0;
        for (int16_t& l : levels) l = static_cast<int16_t>(random() % 5);
        if (unusual) levels[random() % 9] = static_cast<int16_t>(static_cast<int>(random() % 12) - 6);
        std::vector<int16_t> sorted = levels;
        std::sort(sorted.begin(), sorted.end(), std::greater<int16_t>());
        ASSERT_EQ(pcclOfLevels(levels.data()), pcclFromSortedLevels(sorted.data(), 9)) << describe(levels);
    }
}

}  // namespace
}  // namespace drg

#include "complexity/complexity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "complexity/cc_exclusion.h"
#include "complexity/complication_levels.h"
#include "tables/code_lookup.h"

namespace drg {
namespace {

constexpr int kSecondarySlots = 9;  // slots 2..10

// e^(-0.4 k), computed once with the same library call the formula names.
struct LevelWeights {
    double weight[kSecondarySlots];
    double scale;  // ln(7.5) x 0.25
    LevelWeights() : scale(std::log(7.5) * 0.25) {
        for (int k = 0; k < kSecondarySlots; ++k) weight[k] = std::exp(-0.4 * k);
    }
};
const LevelWeights kWeights;

// Character 6 of the final code: the first dated split row of the refined
// code chooses a profile, whose byte for the PCCL is the split character.
void buildFinalGroupCode(ClaimState& state, const TableSet& tables) {
    // The entry number is held in 16 bits; entries from 32768 on read negative.
    const uint32_t i = static_cast<uint16_t>(state.refinedAdrgIndex);
    const char* refined = tables.refinedCodes.text.at(i);
    int k = 0;
    for (; k < 5 && refined[k] != '\0'; ++k) state.finalGroupCode[k] = refined[k];
    for (; k < 5; ++k) state.finalGroupCode[k] = '\0';

    const PcclSplitTable& s = tables.splits;
    const int32_t date = state.effectiveDateNumber;
    int chosen = -1;
    if (i < s.splitGroupCount) {
        for (int r = s.splitRowBegin[i]; r < s.splitRowEnd[i]; ++r) {
            if (s.splitValidFrom[r] > date || date > s.splitValidTo[r]) continue;
            state.finalGroupCode[5] =
                s.splitCharacters[static_cast<size_t>(s.splitProfile[r]) * kSplitProfileWidth + state.pccl];
            chosen = r;
            break;
        }
    }
    if (state.observer) state.observer->splitRowChosen(chosen);
    if (state.finalGroupCode[5] == '\0') state.finalGroupCode[5] = '0';
}

void prefetchExclusionLists(const ClaimState& state) {
    for (int s = 2; s <= kDiagnosisSlots; ++s)
        if (state.cclBySlot[s] != 0) prefetchExclusionList(state, state.codeIds[s]);
}

}  // namespace

void prefetchLevelRangesAndExclusionBounds(const ClaimState& state) {
    for (int s = 2; s <= kDiagnosisSlots; ++s) {
        if (state.codeIds[s] == 0) continue;
        prefetchLevelRange(state, state.codeIds[s]);
        prefetchExclusionBounds(state, state.codeIds[s]);
    }
}

double weightedLevelSum(const int16_t* levels, int count) {
    double s = 0.0;
    for (int k = 0; k < count && k < kSecondarySlots; ++k) s += levels[k] * kWeights.weight[k];
    return s;
}

int16_t pcclFromSortedLevels(const int16_t* levels, int count) {
    const double s = weightedLevelSum(levels, count);
    const double x = std::log(1.0 + s) / kWeights.scale + 0.5;
    if (!(x >= 0.0)) return 0;  // below 0, or not a number
    if (x >= 5.0) return 4;
    return static_cast<int16_t>(x);
}

namespace {

// The nine levels in descending order, as the formula takes them.
std::array<int16_t, kSecondarySlots> sortedDescending(const int16_t* levels) {
    std::array<int16_t, kSecondarySlots> sorted;
    std::copy(levels, levels + kSecondarySlots, sorted.begin());
    std::sort(sorted.begin(), sorted.end(), std::greater<int16_t>());
    return sorted;
}

// The PCCL of every nine levels from 0 to 4, by how many there are of each
// of 1 to 4 (in decimal places: ones, tens, hundreds, thousands), worked out
// once with the formula.
constexpr int kLevelCountIndexes = 10000;
constexpr int16_t kLevelCountPlace[5] = {0, 1, 10, 100, 1000};

struct PcclByLevelCounts {
    std::array<uint8_t, kLevelCountIndexes> pccl{};
    PcclByLevelCounts() {
        for (int index = 0; index < kLevelCountIndexes; ++index) {
            int16_t levels[kSecondarySlots] = {};
            int count = 0;
            for (int16_t level = 1; level <= 4; ++level)
                for (int n = index / kLevelCountPlace[level] % 10; n > 0; --n)
                    if (count++ < kSecondarySlots) levels[count - 1] = level;
            if (count <= kSecondarySlots)
                pccl[static_cast<size_t>(index)] =
                    static_cast<uint8_t>(pcclFromSortedLevels(sortedDescending(levels).data(), kSecondarySlots));
        }
    }
};
const PcclByLevelCounts kPcclByLevelCounts;

}  // namespace

int16_t pcclOfLevels(const int16_t* levels) {
    int index = 0;
    bool usual = true;
    for (int k = 0; k < kSecondarySlots; ++k) {
        const int16_t level = levels[k];
        usual &= static_cast<uint16_t>(level) <= 4;
        index += kLevelCountPlace[usual ? level : 0];
    }
    if (usual) return kPcclByLevelCounts.pccl[static_cast<size_t>(index)];
    return pcclFromSortedLevels(sortedDescending(levels).data(), kSecondarySlots);
}

void computeComplexity(ClaimState& state, const TableSet& tables) {
    for (int s = 2; s <= kDiagnosisSlots; ++s) {
        if (state.codeIds[s] == 0) continue;
        // The table's row number costs a read of its own: only for an observer.
        int row = -1;
        state.cclBySlot[s] = complicationLevel(state, state.codeIds[s], state.observer ? &row : nullptr);
        if (state.observer) state.observer->levelFound(s, state.cclBySlot[s], row);
    }

    prefetchExclusionLists(state);
    clearSexSpecificLevels(state, tables);
    applyPrincipalExclusion(state);

    int16_t m = 0;
    for (int s = 2; s <= kDiagnosisSlots; ++s) m = std::max(m, state.cclBySlot[s]);
    if (m > 0) {
        applyHighestLevelExclusion(state, m);
        state.pccl = pcclOfLevels(state.cclBySlot.data() + 2);
        if (state.observer) {
            state.observer->levelsSettled(state.cclBySlot.data());
            const auto sorted = sortedDescending(state.cclBySlot.data() + 2);
            state.observer->pcclComputed(weightedLevelSum(sorted.data(), kSecondarySlots), state.pccl);
        }
    } else {
        state.pccl = 0;
        if (state.observer) {
            state.observer->levelsSettled(state.cclBySlot.data());
            state.observer->pcclComputed(0.0, 0);
        }
    }
    buildFinalGroupCode(state, tables);
}

}  // namespace drg

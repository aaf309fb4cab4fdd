// The exclusion list test and the principal and highest-level exclusions,
// run on hand-made lists and levels set straight into the claim state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "complexity/cc_exclusion.h"
#include "tables/table_lookups.h"

namespace drg {
namespace {

constexpr int kDiagnosisIds = 20;

// Lists stored in the order given, so that a list out of order can be made.
CcExclusionTable exclusionTable(const std::map<int, std::vector<int16_t>>& lists) {
    CcExclusionTable t;
    t.exclusionDiagnosisCount = kDiagnosisIds;
    for (int d = 0; d < kDiagnosisIds; ++d) {
        t.exclusionBegin.push_back(static_cast<int32_t>(t.exclusionList.size()));
        auto it = lists.find(d);
        if (it != lists.end()) t.exclusionList.insert(t.exclusionList.end(), it->second.begin(), it->second.end());
        t.exclusionEnd.push_back(static_cast<int32_t>(t.exclusionList.size()));
    }
    t.exclusionListCount = static_cast<int32_t>(t.exclusionList.size());
    return t;
}

TEST(ExclusionList, RangeTestThenLinearScan) {
    const CcExclusionTable t = exclusionTable({{3, {5, 9, 14}}, {4, {9, 5, 14}}, {6, {0, 7}}});
    struct Case {
        int16_t candidate, diagnosis;
        bool member;
    };
    const std::vector<Case> cases = {
        {9, 3, true},   {5, 3, true},  {14, 3, true},
        {4, 3, false},  {15, 3, false}, {10, 3, false},  // outside the range, inside but absent
        {3, 5, false},  {9, 2, false},                    // empty lists
        {14, 4, true},  {5, 4, false},                    // out of order: 5 lies below the first entry
        {0, 6, true},                                     // an empty principal can stand in a list
    };
    for (const auto& c : cases)
        EXPECT_EQ(inExclusionList(t, c.candidate, c.diagnosis), c.member)
            << c.candidate << " in list of " << c.diagnosis;
}

// The lists held once each answer as the table does, for every candidate and
// diagnosis id in and around range: lists shared by several diagnoses, empty
// lists, lists out of order or with repeats, lists of one, two or more runs
// of ids, id 0 in a list.
TEST(SharedExclusionLists, AnswerLikeTheTableAndHoldEachListOnce) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::vector<int16_t>> pool(1 + rng() % 4);
        for (auto& list : pool) {
            for (auto n = rng() % 7; n > 0; --n) list.push_back(static_cast<int16_t>(rng() % kDiagnosisIds));
            if (rng() % 3) std::sort(list.begin(), list.end());
        }
        std::map<int, std::vector<int16_t>> lists;
        for (int d = 0; d < kDiagnosisIds; ++d)
            if (rng() % 4) lists[d] = pool[rng() % pool.size()];
        const CcExclusionTable t = exclusionTable(lists);
        const SharedExclusionLists shared = shareExclusionLists(t);
        ASSERT_TRUE(shared.usable);
        size_t pooled = 0;
        for (const auto& list : pool) pooled += list.size();
        EXPECT_LE(shared.entries.size(), pooled) << "round " << round;
        for (int16_t d = -2; d < kDiagnosisIds + 2; ++d)
            for (int16_t x = -2; x < kDiagnosisIds + 2; ++x)
                ASSERT_EQ(inSharedExclusionList(shared, x, d), inExclusionList(t, x, d))
                    << "round " << round << ": " << x << " in list of " << d;
    }
}

TEST(SharedExclusionLists, NotUsableWhenARangeLeavesTheList) {
    CcExclusionTable t = exclusionTable({{3, {5, 9}}});
    t.exclusionEnd[3] = static_cast<int32_t>(t.exclusionList.size()) + 1;
    EXPECT_FALSE(shareExclusionLists(t).usable);
}

// Secondary diagnoses in slots 2..10 with their levels; slot 1 the principal.
struct Record {
    int16_t principal = 0;
    std::vector<std::pair<int16_t, int16_t>> secondaries;  // code id, level
};

ClaimState stateFor(const CcExclusionTable& table, const Record& r) {
    ClaimState s;
    s.activeExclusionTable = &table;
    s.codeIds[1] = r.principal;
    for (size_t k = 0; k < r.secondaries.size(); ++k) {
        s.codeIds[k + 2] = r.secondaries[k].first;
        s.cclBySlot[k + 2] = r.secondaries[k].second;
    }
    return s;
}

std::vector<int16_t> levels(const ClaimState& s, size_t count) {
    return std::vector<int16_t>(s.cclBySlot.begin() + 2, s.cclBySlot.begin() + 2 + static_cast<long>(count));
}

struct RuleCase {
    const char* rule;
    std::map<int, std::vector<int16_t>> lists;
    Record record;
    std::vector<int16_t> expected;
};

TEST(PrincipalExclusion, CancelsEverySecondaryWhoseListHoldsThePrincipal) {
    const std::vector<RuleCase> cases = {
        {"at any level, 4 included", {{2, {1}}, {3, {1, 5}}, {4, {5}}}, {1, {{2, 4}, {3, 1}, {4, 3}}}, {0, 0, 3}},
        {"the list of the principal says nothing", {{1, {2, 3}}}, {1, {{2, 4}, {3, 2}}}, {4, 2}},
        {"an empty principal is code id 0", {{2, {0, 7}}, {3, {7}}}, {0, {{2, 2}, {3, 2}}}, {0, 2}},
    };
    for (const auto& c : cases) {
        const CcExclusionTable t = exclusionTable(c.lists);
        ClaimState s = stateFor(t, c.record);
        applyPrincipalExclusion(s);
        EXPECT_EQ(levels(s, c.expected.size()), c.expected) << c.rule;
    }
}

TEST(HighestLevelExclusion, OnlyTheHighestLevelCancelsInSlotOrder) {
    // Code ids 2..9 are the secondaries; m is the highest level passed in.
    const std::vector<RuleCase> cases = {
        {"mutual lists at the highest level: the lower slot wins",
         {{2, {3}}, {3, {2}}}, {1, {{2, 3}, {3, 3}}}, {3, 0}},
        {"mutual lists at the highest level, slots exchanged",
         {{2, {3}}, {3, {2}}}, {1, {{3, 3}, {2, 3}}}, {3, 0}},
        {"the highest cancels a lower one, never the other way",
         {{2, {3}}, {3, {2}}}, {1, {{2, 2}, {3, 1}}}, {2, 0}},
        {"two lower levels never cancel each other",
         {{3, {4}}, {4, {3}}}, {1, {{2, 2}, {3, 1}, {4, 1}}}, {2, 1, 1}},
        {"a cancelled highest slot makes no pass of its own",
         {{3, {2}}, {4, {3}}}, {1, {{2, 2}, {3, 2}, {4, 1}}}, {2, 0, 1}},
        {"a later highest slot cancels an earlier one after its pass",
         {{2, {3}}}, {1, {{2, 3}, {3, 3}}}, {0, 3}},
        {"one highest slot cancels several, in any slot",
         {{2, {5}}, {3, {5}}, {4, {5}}}, {1, {{2, 1}, {3, 4}, {4, 2}, {5, 4}}}, {0, 0, 0, 4}},
    };
    for (const auto& c : cases) {
        const CcExclusionTable t = exclusionTable(c.lists);
        ClaimState s = stateFor(t, c.record);
        int16_t m = 0;
        for (int k = 2; k <= 10; ++k) m = std::max(m, s.cclBySlot[k]);
        applyHighestLevelExclusion(s, m);
        EXPECT_EQ(levels(s, c.expected.size()), c.expected) << c.rule;
    }
}

}  // namespace
}  // namespace drg

// What makes the synthetic records group: every code in use raises one
// principal group on every day, every principal group has its routing row
// in every decision version, every ADRG refines every age to a code of the
// release, and a diagnosis has at most one level row on any day.
#include <gtest/gtest.h>

#include <set>

#include "synth/synth_conditions.h"
#include "synth/synth_random.h"
#include "synth/synthetic_release.h"

namespace drg::testing {
namespace {

const synth::SyntheticRelease& release() {
    static const synth::SyntheticRelease r = synth::makeSyntheticRelease(21);
    return r;
}

// Days the checks look at: around every change date the generator uses.
const int32_t kDays[] = {20030101, 20050101, 20060101, 20070101, 20081231, 20090101, 20091231, 20100101,
                         20101231, 20110101, 20110701, 20120701, 20121231, 20130101, 20131231};

bool isPrincipalGroup(int c) { return c >= synth::kFirstPrincipalGroup && c <= synth::kLastPrincipalGroup; }

TEST(SyntheticConsistency, CodesInUseRaiseOnePrincipalGroupRoutedInEveryVersion) {
    const TableSet& t = release().tables;
    const CodeConditionTable& code = t.codeConditions;
    for (const synth::DiagnosisCode& dx : release().catalog.diagnoses) {
        const size_t id = static_cast<size_t>(dx.id);
        for (int32_t day : kDays) {
            int groups = 0;
            for (int32_t k = code.diagnosisEntryBegin[id]; k < code.diagnosisEntryEnd[id]; ++k)
                if (code.entryValidFrom[k] <= day && day <= code.entryValidTo[k] &&
                    isPrincipalGroup(code.entryCondition[k]))
                    ++groups;
            const bool inUse = dx.validFrom <= day && day <= dx.validTo;
            ASSERT_EQ(groups, inUse ? 1 : 0) << std::string(dx.text.data(), 6) << " on " << day;
        }
    }
    for (const DecisionTable& d : t.decisionTables) {
        std::set<int> routed;
        for (int r = d.rowBegin[1]; r < d.rowEnd[1]; ++r) routed.insert(d.rowConditions[static_cast<size_t>(r) * 20]);
        for (int g = synth::kFirstPrincipalGroup; g <= synth::kLastPrincipalGroup; ++g)
            EXPECT_TRUE(routed.count(g)) << g;
        // Every MDC range ends in a row without conditions (all places empty,
        // as written; the loader makes the must-be-clear half N) that is always valid.
        for (int m = 2; m < d.entryCount; ++m) {
            const size_t last = static_cast<size_t>(d.rowEnd[m] - 1);
            EXPECT_GT(d.rowEnd[m], d.rowBegin[m]) << m;
            for (int c = 0; c < kRowConditionColumns; ++c)
                EXPECT_EQ(d.rowConditions[last * kRowConditionColumns + c], 0) << m;
            EXPECT_LE(d.rowValidFrom[last], 20030101);
            EXPECT_GE(d.rowValidTo[last], 20131231);
        }
    }
}

TEST(SyntheticConsistency, EveryAdrgRefinesEveryAgeToAReleaseCode) {
    const TableSet& t = release().tables;
    std::set<std::string> refined;
    for (uint32_t i = 1; i < t.refinedCodes.count; ++i) refined.insert(std::string(t.refinedCodes.text.at(i), 5));
    const RefinementTable& r = t.refinement;
    for (uint32_t a = 1; a < t.adrgCodes.count; ++a)
        for (int32_t day : kDays)
            for (int age = 0; age <= 100; ++age) {
                int fitting = 0;
                char suffix = '0';
                for (int k = r.refinementBegin[a]; k < r.refinementEnd[a]; ++k)
                    if (r.refinementMinAge[k] <= age && age <= r.refinementMaxAge[k] &&
                        r.refinementValidFrom[k] <= day && day <= r.refinementValidTo[k])
                        ++fitting, suffix = r.refinementSuffix[k];
                const std::string key = std::string(t.adrgCodes.text.at(a), 4) + suffix;
                ASSERT_EQ(fitting, 1) << key << " age " << age << " on " << day;
                ASSERT_TRUE(refined.count(key)) << key;
            }
}

TEST(SyntheticConsistency, AtMostOneLevelRowOnAnyDay) {
    for (const ComplicationLevelTable& c : release().tables.levelTables)
        for (size_t d = 1; d < c.cclRowBegin.size(); ++d)
            for (int32_t day : kDays) {
                int valid = 0;
                for (int k = c.cclRowBegin[d]; k < c.cclRowEnd[d]; ++k)
                    valid += c.cclValidFrom[k] <= day && day <= c.cclValidTo[k];
                ASSERT_LE(valid, 1) << "diagnosis id " << d << " on " << day;
            }
}

TEST(SynthRandom, DrawsStayInTheirRangeAndReachBothEnds) {
    synth::SynthRandom random(5);
    struct Range {
        int32_t low, high;
    };
    for (const Range range : {Range{0, 1}, Range{-2, 2}, Range{1, 10}, Range{2003, 2013}, Range{0, 364}}) {
        std::set<int32_t> seen;
        for (int i = 0; i < 20000; ++i) {
            const int32_t v = random.between(range.low, range.high);
            ASSERT_GE(v, range.low);
            ASSERT_LE(v, range.high);
            seen.insert(v);
        }
        EXPECT_EQ(seen.size(), static_cast<size_t>(range.high - range.low + 1)) << range.low << ".." << range.high;
    }
    // Streams of one seed differ; the same seed and stream repeat.
    synth::SynthRandom a(5, 1), b(5, 2), c(5, 1);
    const uint64_t first = a.next();
    EXPECT_NE(first, b.next());
    EXPECT_EQ(first, c.next());
}

}  // namespace
}  // namespace drg::testing

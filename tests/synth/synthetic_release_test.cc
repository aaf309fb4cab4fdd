// The synthetic national-scale release: the same seed gives the same bytes,
// another seed other bytes, and what it writes loads at the scale it claims,
// with the shapes the grouper relies on (sorted indices, ascending exclusion
// lists, condition kinds that agree with the derived conditions).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/test_files.h"
#include "synth/synth_calendar.h"
#include "synth/synth_run.h"
#include "synth/synthetic_release.h"
#include "tables/condition_kinds.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"

namespace drg::testing {
namespace {

std::vector<std::string> runFiles() {
    std::vector<std::string> names(kTableFileNames.begin(), kTableFileNames.end());
    names.push_back("valtic.in");
    return names;
}

void writeRun(uint64_t seed, uint64_t records, const std::string& directory) {
    std::string problem;
    ASSERT_TRUE(synth::writeSyntheticRun(seed, records, directory, &problem)) << problem;
}

TEST(SyntheticRelease, SameSeedSameBytesOtherSeedOtherBytes) {
    TempDir first, again, other;
    writeRun(11, 300, first.path());
    writeRun(11, 300, again.path());
    writeRun(12, 300, other.path());
    int differing = 0;
    for (const std::string& name : runFiles()) {
        const std::string bytes = readFile(first.file(name));
        EXPECT_EQ(bytes, readFile(again.file(name))) << name;
        // Past the header, which names the seed.
        if (bytes.substr(kHeaderSize) != readFile(other.file(name)).substr(kHeaderSize)) ++differing;
    }
    // Only the MDC texts and the condition kinds are the same for every seed.
    EXPECT_EQ(differing, static_cast<int>(runFiles().size()) - 2);
    EXPECT_NE(readFile(first.file("valtic.in")), readFile(other.file("valtic.in")));
}

template <class Less>
bool ascending(const TextArray& texts, uint32_t from, Less less) {
    for (uint32_t i = from + 1; i < texts.size(); ++i)
        if (!less(texts.at(i - 1), texts.at(i), texts.width)) return false;
    return true;
}

struct Span {
    const char* what;
    int64_t value, low, high;
};

TEST(SyntheticRelease, LoadsAtNationalScale) {
    TempDir dir;
    writeRun(3, 0, dir.path());
    TableSet t;
    std::string problem;
    ASSERT_EQ(loadTables(t, dir.path(), &problem), kLoadOk) << problem;
    EXPECT_LT(firstConditionKindMismatch(t.conditions), 0);

    std::vector<Span> spans = {
        {"diagnoses", t.diagnosisIndex.count, 14801, 14801},
        {"procedures", t.procedureIndex.count, 7001, 7001},
        {"conditions", t.conditions.conditionCount, 995, 995},
        {"MDC entries", t.mdcCodes.count, 27, 27},
        {"ADRG entries", t.adrgCodes.count, 398, 398},
        {"refined codes", t.refinedCodes.count, 1080, 1080},
        {"dagger/asterisk pairs", t.daggerAsterisk.pairCount, 3400, 3400},
        {"code-condition entries", t.codeConditions.entryCount, 50000, 58000},
        {"first exclusion list entries", t.exclusionTables[0].exclusionListCount, 40000, 65535},
        {"last exclusion list entries", t.exclusionTables[2].exclusionListCount, 550000, 594000},
    };
    for (const DecisionTable& d : t.decisionTables) spans.push_back({"decision rows", d.rowCount, 3000, 3500});
    for (const ComplicationLevelTable& c : t.levelTables) {
        spans.push_back({"level rows", c.cclRowCount, 22000, 25000});
        spans.push_back({"level profiles", c.cclProfileCount, 250, 250});
        spans.push_back({"level columns", c.cclColumnCount, 398, 398});
    }
    for (const Span& s : spans) {
        EXPECT_GE(s.value, s.low) << s.what;
        EXPECT_LE(s.value, s.high) << s.what;
    }

    // Versions of one table differ.
    for (int v = 1; v < kDecisionVersions; ++v)
        EXPECT_NE(t.decisionTables[v].rowConditions, t.decisionTables[v - 1].rowConditions) << v;
    for (int v = 1; v < kLevelVersions; ++v) EXPECT_NE(t.levelTables[v].cclMatrix, t.levelTables[v - 1].cclMatrix);

    // Code texts ascend strictly, so every code is found.
    auto strictlyBefore = [](const char* a, const char* b, uint32_t w) {
        return std::lexicographical_compare(a, a + w, b, b + w);
    };
    EXPECT_TRUE(ascending(t.diagnosisIndex.code, 1, strictlyBefore));
    EXPECT_TRUE(ascending(t.procedureIndex.code, 1, strictlyBefore));

    // Every exclusion list ascends, as the membership test needs.
    for (const CcExclusionTable& x : t.exclusionTables)
        for (size_t d = 0; d < x.exclusionBegin.size(); ++d)
            for (int32_t k = x.exclusionBegin[d] + 1; k < x.exclusionEnd[d]; ++k)
                ASSERT_LT(x.exclusionList[static_cast<size_t>(k - 1)], x.exclusionList[static_cast<size_t>(k)]) << d;
}

TEST(SyntheticRelease, RowsUseDerivedConditionsAndRefineByAge) {
    const synth::SyntheticRelease release = synth::makeSyntheticRelease(5);
    const TableSet& t = release.tables;
    // Age, stay, status, sex, ventilation and birth weight all decide some row.
    for (int derived : {797, 799, 800, 802, 804, 805, 816, 819, 820, 821, 823}) {
        const auto& conditions = t.decisionTables[5].rowConditions;
        EXPECT_NE(std::find(conditions.begin(), conditions.end(), derived), conditions.end()) << derived;
    }
    // Range 1 decides some records itself (pre-MDC) and routes the rest.
    const DecisionTable& d = t.decisionTables[0];
    std::set<int> mdcsFromRangeOne;
    for (int r = d.rowBegin[1]; r < d.rowEnd[1]; ++r) mdcsFromRangeOne.insert(d.rowMdc[static_cast<size_t>(r)]);
    EXPECT_EQ(mdcsFromRangeOne.size(), 26u);
    const std::set<int16_t> minAges(t.refinement.refinementMinAge.begin(), t.refinement.refinementMinAge.end());
    EXPECT_GE(minAges.size(), 5u);
}

TEST(SyntheticCalendar, DayNumbersRoundTrip) {
    int32_t previous = synth::dayNumber({1899, 12, 31});
    for (int32_t day = previous + 1; day < synth::dayNumber({2101, 1, 1}); ++day) {
        const synth::CivilDate d = synth::civilDate(day);
        ASSERT_EQ(synth::dayNumber(d), day);
        ASSERT_EQ(synth::dayBefore(synth::dateValue(d)), synth::dateValue(synth::civilDate(previous)));
        previous = day;
    }
    EXPECT_EQ(synth::dayNumber({1970, 1, 1}), 0);
    EXPECT_EQ(synth::dayBefore(20080301), 20080229);
}

}  // namespace
}  // namespace drg::testing

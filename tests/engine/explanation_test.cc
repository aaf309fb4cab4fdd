// An explanation tells what the grouping steps did, and its result is the
// one groupLine gives.
#include <gtest/gtest.h>

#include "batch/batch_test_support.h"
#include "drg/explain.h"

namespace drg::testing {
namespace {

Explanation explain(const TableBuilder& builder, const std::string& line) {
    TempDir dir;
    builder.write(dir.path());
    Worker worker(openRelease(dir.path()).release);
    Explanation e;
    worker.explainLine(line, e);
    std::string grouped;
    worker.groupLine(line, grouped);
    EXPECT_EQ(e.output + "\n", grouped);
    return e;
}

TEST(Explanation, FollowsTheRecordThroughEveryStep) {
    const std::string line =
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10", "XX9"}).line();
    const Explanation e = explain(groupingRelease(), line);
    EXPECT_EQ(e.ageYears, 62);
    EXPECT_EQ(e.ageDays, 22646);  // 62 years and 16 leap days
    ASSERT_EQ(e.slots.size(), 3u);
    EXPECT_EQ(e.slots[2].text, "XX9");
    EXPECT_EQ(e.slots[2].codeId, 0);
    EXPECT_EQ(e.decisionTable, "Tadrg4");  // before 20120701
    EXPECT_EQ(e.levelTable, "Tccl1");
    std::vector<int> raised;
    for (const auto& c : e.conditions) raised.push_back(c.condition);
    // 100 from G40.0; no birth weight (796, 823), older than 27 days (799)
    // and a year (800), a stay under 3 and 5 days (802, 803), male (819).
    EXPECT_EQ(raised, (std::vector<int>{100, 796, 799, 800, 802, 803, 819, 823}));
    ASSERT_EQ(e.conditions[0].sources.size(), 1u);
    EXPECT_EQ(e.conditions[0].sources[0].code, "G40.0");
    EXPECT_EQ(e.conditions[1].rule, "birth weight below 1250 g (a blank weight counts as 0)");
    EXPECT_EQ(e.mdcPass.row, 0);
    EXPECT_EQ(e.mdcPass.mustHold, std::vector<int>{100});
    EXPECT_TRUE(e.mdcPass.mustNotHold.empty());  // the fix-up's filler is no condition
    EXPECT_EQ(e.adrgPass.adrg, "B010");
    EXPECT_TRUE(e.adrgPass.ran);
    EXPECT_EQ(e.refinementRow, 1);  // 18 to 120 years
    EXPECT_EQ(e.refinedCode, "B010B");
    ASSERT_EQ(e.levels.size(), 1u);  // XX9 is not in the release
    EXPECT_EQ(e.levels[0].finalLevel, 3);
    EXPECT_STREQ(e.result.drg, "B010BW");
}

// A condition is sourced once per slot, from the code the slot holds after
// a dagger/asterisk exchange, however many of the code's entries raise it.
TEST(Explanation, NamesTheExchangedCodeOnceAsASource) {
    TableBuilder b = groupingRelease();
    b.diagnosisCondition("G01", 100);
    b.diagnosisCondition("G01", 100);
    const Explanation e = explain(
        b, RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"A17.0", "G01"}).line());
    ASSERT_TRUE(e.daggerAsteriskExchanged);
    ASSERT_EQ(e.conditions.at(0).sources.size(), 1u);
    EXPECT_EQ(e.conditions[0].sources[0].code, "G01");
}

TEST(Explanation, NamesTheRuleThatClearedALevel) {
    TableBuilder b = groupingRelease();
    b.exclusions("I10", {"G40.0"});
    const Explanation e = explain(
        b, RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).line());
    ASSERT_EQ(e.levels.size(), 1u);
    EXPECT_EQ(e.levels[0].level, 3);
    EXPECT_EQ(e.levels[0].finalLevel, 0);
    EXPECT_NE(e.levels[0].clearedBy.find("principal exclusion"), std::string::npos) << e.levels[0].clearedBy;
    EXPECT_EQ(e.result.pccl, 0);
}

TEST(Explanation, ARecordWithoutGroupRunsNoLaterStep) {
    const Explanation e = explain(groupingRelease(), RecordBuilder().date("20120615").diagnoses({"I10"}).line());
    EXPECT_TRUE(e.mdcPass.ran);
    EXPECT_EQ(e.mdcPass.row, -1);
    EXPECT_FALSE(e.adrgPass.ran);
    EXPECT_FALSE(e.refined);
    EXPECT_TRUE(e.levels.empty());
    EXPECT_STREQ(e.result.drg, "000000");
}

TEST(Explanation, OfItsOwnOutputExplainedOnceMore) {
    TempDir dir;
    groupingRelease().write(dir.path());
    Worker worker(openRelease(dir.path()).release);
    Explanation e;
    ASSERT_EQ(worker.explainLine(
                  RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).line(), e),
              GroupStatus::Ok);
    const std::string output = e.output;
    ASSERT_EQ(worker.explainLine(e.output, e), GroupStatus::Ok);  // the line lies in the explanation it fills
    EXPECT_EQ(e.output, output);
    EXPECT_STREQ(e.result.drg, "B010BW");
}

}  // namespace
}  // namespace drg::testing

// Conditions raised by the codes of a record: dated entries, the slots a
// condition may come from, hit counts and the per-slot procedure marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "conditions/prepare_record.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

int markedCells(const ConditionFlags& f) {
    int marked = 0;
    for (uint16_t marks : f.slotMarks) marked += std::popcount(marks);
    return marked;
}

TEST(CodeConditions, AppliesEntriesOnTheirValidDaysOnly) {
    TableBuilder b;
    b.diagnosisCondition("A10", 100, {20120101, 20120614});  // ends the day before
    b.diagnosisCondition("A10", 101, {20120101, 20120615});  // ends on the day
    b.diagnosisCondition("A10", 102, {20120615, 20121231});  // starts on the day
    b.diagnosisCondition("A10", 103, {20120616, 20121231});  // starts the day after
    b.procedureCondition("5-01", 104, {20120101, 20120614});
    b.procedureCondition("5-01", 105, {20120615, 20120615});
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    std::string line = datedRecord().diagnoses({"A10"}).procedures({"5-01"}).text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.flag[100], 0);
    EXPECT_EQ(f.flag[101], 1);
    EXPECT_EQ(f.flag[102], 1);
    EXPECT_EQ(f.flag[103], 0);
    EXPECT_EQ(f.flag[104], 0);
    EXPECT_EQ(f.flag[105], 1);
    EXPECT_EQ(f.hitCount[100], 0);
    EXPECT_EQ(f.hitCount[101], 1);

    // A date that does not read as a number applies no entry at all.
    line = datedRecord("2012061x").diagnoses({"A10"}).procedures({"5-01"}).text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    for (int c = 100; c <= 105; ++c) EXPECT_EQ(f.flag[c], 0) << c;
}

TEST(CodeConditions, RaisesAConditionOnlyFromItsSlots) {
    TableBuilder b;
    b.conditionSlots(200, 1, 1);
    b.conditionSlots(201, 3, 5);
    b.conditionSlots(202, 11, 11);
    b.conditionSlots(203, 42, 46);
    b.conditionSlots(204, 1, 10);  // a diagnosis-only condition raised by a procedure
    b.diagnosisCondition("A10", 200);
    b.diagnosisCondition("A10", 201);
    b.procedureCondition("5-01", 202);
    b.procedureCondition("5-01", 203);
    b.procedureCondition("5-01", 204);
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    struct Case {
        int diagnosisSlot, procedureSlot;
        std::vector<int> raised;
    };
    const std::vector<Case> cases = {
        {1, 11, {200, 202}}, {2, 12, {}},       {3, 41, {201}}, {5, 42, {201, 203}},
        {6, 46, {203}},      {10, 13, {}},
    };
    for (const auto& c : cases) {
        std::string line = datedRecord().slot(c.diagnosisSlot, "A10").slot(c.procedureSlot, "5-01").text();
        ASSERT_EQ(release.prepare(line), kPrepareOk);
        for (int cond = 200; cond <= 204; ++cond) {
            const bool expected = std::find(c.raised.begin(), c.raised.end(), cond) != c.raised.end();
            EXPECT_EQ(f.flag[cond], expected ? 1 : 0)
                << "condition " << cond << " from slots " << c.diagnosisSlot << ", " << c.procedureSlot;
        }
    }
}

TEST(CodeConditions, TestsSlotsAfterTheDaggerAsteriskExchange) {
    TableBuilder b;
    b.conditionSlots(300, 1, 1);  // principal diagnosis only
    b.conditionSlots(301, 2, 10);  // secondary diagnoses only
    b.diagnosisCondition("A17.0", 300);
    b.diagnosisCondition("A17.0", 301);
    b.diagnosisCondition("G01", 300);
    b.diagnosisCondition("G01", 301);
    b.conditionSlots(302, 1, 1);
    b.diagnosisCondition("G01", 302);
    b.conditionSlots(303, 2, 2);
    b.diagnosisCondition("A17.0", 303);
    b.daggerPair("A17.0", "G01", {20100101, 20120630});
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    // Exchanged: G01 is the principal diagnosis, A17.0 the secondary one.
    std::string line = datedRecord("20120630").diagnoses({"A17.0", "G01"}).text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.flag[302], 1);
    EXPECT_EQ(f.flag[303], 1);
    EXPECT_EQ(f.hitCount[300], 1);
    EXPECT_EQ(f.hitCount[301], 1);

    // Not exchanged the day after: the record's own order counts.
    line = datedRecord("20120701").diagnoses({"A17.0", "G01"}).text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.flag[302], 0);
    EXPECT_EQ(f.flag[303], 0);
    EXPECT_EQ(f.hitCount[300], 1);
    EXPECT_EQ(f.hitCount[301], 1);
}

TEST(CodeConditions, CountsOneHitPerMatchingEntryAndSlot) {
    TableBuilder b;
    b.diagnosisCondition("A10", 400);
    b.diagnosisCondition("A10", 400);  // a second entry for the same condition
    b.diagnosisCondition("A10", 400, {20130101, kEndOfTime});  // not yet valid
    b.diagnosisCondition("B20", 400);
    b.procedureCondition("5-01", 357);
    b.procedureCondition("5-02", 357);
    b.conditionSlots(358, 11, 11);
    b.procedureCondition("5-01", 358);
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    // The repeated diagnosis is removed before counting; the repeated
    // procedure counts once per slot.
    std::string line =
        datedRecord().diagnoses({"A10", "B20", "A10"}).procedures({"5-01", "5-02", "5-01"}).slot(46, "5-01").text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.hitCount[400], 3);
    EXPECT_EQ(f.hitCount[357], 4);
    EXPECT_EQ(f.hitCount[358], 1);  // slot 11 only
    EXPECT_EQ(f.slotCondition(11, 357), 1);
    EXPECT_EQ(f.slotCondition(12, 357), 1);
    EXPECT_EQ(f.slotCondition(13, 357), 1);
    EXPECT_EQ(f.slotCondition(14, 357), 0);
    EXPECT_EQ(f.slotCondition(11, 358), 1);
    EXPECT_EQ(f.slotCondition(13, 358), 0);
}

TEST(CodeConditions, ProceduresFromSlot42OnRaiseFlagsButLeaveNoMarks) {
    TableBuilder b;
    b.diagnosisCondition("A10", 500);
    b.procedureCondition("5-01", 743);
    b.procedureCondition("5-02", 745);
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    // Diagnoses never mark a slot; slots 42..46 neither.
    std::string line = datedRecord().diagnoses({"A10"}).slot(42, "5-01").slot(46, "5-02").text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.flag[500], 1);
    EXPECT_EQ(f.flag[743], 1);
    EXPECT_EQ(f.flag[745], 1);
    EXPECT_EQ(f.hitCount[743], 1);
    EXPECT_EQ(markedCells(f), 0);

    line = datedRecord().slot(41, "5-01").slot(11, "5-02").text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(markedCells(f), 2);
    EXPECT_EQ(f.slotCondition(41, 743), 1);
    EXPECT_EQ(f.slotCondition(11, 745), 1);
}

TEST(CodeConditions, HitCountWrapsAndReadsSigned) {
    TableBuilder b;
    for (int i = 0; i < 128; ++i) b.diagnosisCondition("A10", 600);
    for (int i = 0; i < 256; ++i) b.diagnosisCondition("B20", 601);
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    std::string line = datedRecord().diagnoses({"A10", "B20"}).text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.hitCount[600], 128);
    EXPECT_EQ(f.hits(600), -128);
    EXPECT_EQ(f.flag[600], 1);
    EXPECT_EQ(f.hitCount[601], 0);
    EXPECT_EQ(f.flag[601], 1);
}

TEST(CodeConditions, SentinelsHoldWhateverTheCodes) {
    TableBuilder b;
    b.conditionCount(900);
    b.diagnosisCondition("A10", 1);
    b.diagnosisCondition("A10", 899);
    b.procedureCondition("5-01", 899);
    LoadedRelease release{b};
    const ConditionFlags& f = release.state.conditions;

    std::string line = datedRecord().diagnoses({"A10"}).procedures({"5-01"}).text();
    ASSERT_EQ(release.prepare(line), kPrepareOk);
    EXPECT_EQ(f.flag[0], 1);
    EXPECT_EQ(f.flag[900], 0);
    EXPECT_EQ(f.flag[1], 1);
    EXPECT_EQ(f.hitCount[899], 2);
    // Conditions that no derived rule asks of a slot are not marked.
    EXPECT_EQ(f.slotCondition(11, 899), 0);
    EXPECT_EQ(markedCells(f), 0);
}

}  // namespace
}  // namespace drg::testing

// A record's state depends on that record alone: one state reused over a
// sequence of records ends each record exactly as a fresh state would.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "conditions/prepare_record.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

const std::vector<std::string> kResetDiagnoses = {"A10", "B20", "C30", "D40", "E50", "F60", "G70", "H80", "J90", "K00"};
const std::vector<std::string> kResetProcedures = {"5-01", "5-02", "5-03", "5-04", "5-05", "5-06", "5-07", "5-08"};

// Every code raises several conditions, some of them the inputs of derived
// rules; B20 wraps its hit count to 0 while its flag stays set.
TableBuilder resetRelease() {
    TableBuilder b;
    for (size_t i = 0; i < kResetDiagnoses.size(); ++i) {
        b.diagnosisCondition(kResetDiagnoses[i], 100 + static_cast<int>(i));
        b.diagnosisCondition(kResetDiagnoses[i], 602 + static_cast<int>(i % 2));
        b.diagnosisCondition(kResetDiagnoses[i], 389 + static_cast<int>(i % 9));
    }
    for (int i = 0; i < 256; ++i) b.diagnosisCondition("B20", 700);
    b.conditionSlots(200, 1, 1);
    b.diagnosisCondition("C30", 200);
    b.daggerPair("D40", "C30");
    for (size_t i = 0; i < kResetProcedures.size(); ++i) {
        b.procedureCondition(kResetProcedures[i], 357);
        b.procedureCondition(kResetProcedures[i], 743 + static_cast<int>(i % 6));
        b.procedureCondition(kResetProcedures[i], 300 + static_cast<int>(i));
        b.procedureCondition(kResetProcedures[i], 621);
    }
    b.procedureCondition("5-01", 358);
    b.procedureCondition("5-01", 359);
    b.procedureCondition("5-01", 759);
    return b;
}

// The list of raised conditions, which the decision passes walk, names every
// set flag but condition 0 exactly once.
void expectRaisedListMatchesFlags(const ConditionFlags& f, const std::string& what) {
    std::vector<uint16_t> listed(f.raisedConditions.begin(), f.raisedConditions.end()), set;
    std::sort(listed.begin(), listed.end());
    for (size_t c = 1; c < f.flag.size(); ++c)
        if (f.flag[c]) set.push_back(static_cast<uint16_t>(c));
    EXPECT_EQ(listed, set) << what;
}

void expectSameState(const ClaimState& reused, const ClaimState& fresh, const std::string& what) {
    expectRaisedListMatchesFlags(reused.conditions, what);
    const ConditionFlags& a = reused.conditions;
    const ConditionFlags& b = fresh.conditions;
    EXPECT_EQ(a.flag, b.flag) << what;
    EXPECT_EQ(a.hitCount, b.hitCount) << what;
    EXPECT_EQ(a.derivedMark, b.derivedMark) << what;
    EXPECT_EQ(a.slotMarks, b.slotMarks) << what;
    EXPECT_EQ(reused.codeIds, fresh.codeIds) << what;
    EXPECT_EQ(reused.ageYears, fresh.ageYears) << what;
    EXPECT_EQ(reused.ageDays, fresh.ageDays) << what;
    EXPECT_EQ(reused.birthWeight, fresh.birthWeight) << what;
}

// Prepares `line` into the reused state and into a fresh one, and compares.
void prepareBoth(const LoadedRelease& loaded, ClaimState& reused, const std::string& line, const std::string& what) {
    std::string a = line, b = line;
    ClaimState fresh = loaded.freshState();
    ASSERT_EQ(loaded.prepare(a, reused), kPrepareOk) << what;
    ASSERT_EQ(loaded.prepare(b, fresh), kPrepareOk) << what;
    expectSameState(reused, fresh, what);
}

TEST(ConditionReset, SparseRecordAfterARichOneStartsClean) {
    LoadedRelease loaded{resetRelease()};
    ClaimState reused = loaded.freshState();
    RecordBuilder rich = RecordBuilder().birthDate("120101").sex('3').date("20120110").stayDays("001").status("2");
    rich.birthWeight("  900").ventilation("  100").diagnoses(kResetDiagnoses);
    for (int s = 11; s <= 46; ++s) rich.slot(s, kResetProcedures[static_cast<size_t>(s) % kResetProcedures.size()]);
    const std::string sparse = RecordBuilder().birthDate("500615").sex('2').date("20120615").stayDays("010").text();

    prepareBoth(loaded, reused, rich.text(), "rich");
    // The rich record did touch what the sparse one must not see.
    EXPECT_EQ(reused.conditions.flag[700], 1);
    EXPECT_EQ(reused.conditions.flag[783], 1);
    EXPECT_EQ(reused.conditions.slotCondition(41, 357), 1);
    prepareBoth(loaded, reused, sparse, "sparse after rich");
    EXPECT_EQ(reused.conditions.flag[700], 0);
    prepareBoth(loaded, reused, rich.text(), "rich after sparse");
    prepareBoth(loaded, reused, RecordBuilder().text(), "blank line after rich");
}

TEST(ConditionReset, RandomRecordSequenceMatchesFreshStates) {
    LoadedRelease loaded{resetRelease()};
    ClaimState reused = loaded.freshState();
    std::mt19937 random(20120615);
    auto pick = [&](const std::vector<std::string>& codes) {
        // One pick in four leaves the slot blank, one in ten is unknown.
        const auto r = random() % 40;
        if (r < 10) return std::string();
        if (r < 14) return std::string("X99");
        return codes[random() % codes.size()];
    };
    for (int record = 0; record < 200; ++record) {
        RecordBuilder line = RecordBuilder().birthDate("100615").sex(static_cast<char>('0' + random() % 10));
        line.date(record % 7 == 0 ? "2012x615" : "20120615").stayDays(std::to_string(random() % 8));
        line.birthWeight(std::to_string(random() % 4000)).ventilation(std::to_string(random() % 200));
        const int diagnoses = static_cast<int>(random() % 11);
        for (int s = 1; s <= diagnoses; ++s) line.slot(s, pick(kResetDiagnoses));
        const int procedures = static_cast<int>(random() % 37);
        for (int s = 11; s < 11 + procedures; ++s) line.slot(s, pick(kResetProcedures));
        prepareBoth(loaded, reused, line.text(), "record " + std::to_string(record));
        if (::testing::Test::HasFailure()) break;
    }
}

}  // namespace
}  // namespace drg::testing

// The packed code-condition entries, the visit of non-blank slots only, the
// skip of codes without sex-specific conditions and the choice of table
// versions by number must give what the plain scans of the tables give, on
// random releases and records: dated entries, entries valid on one day,
// codes with no entries, narrow slot ranges, repeated and blank slots.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "complexity/cc_exclusion.h"
#include "conditions/prepare_record.h"
#include "tables/condition_kinds.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "tables/table_versions.h"

namespace drg::testing {
namespace {

// The conditions, hit counts and procedure-row marks a record's codes give,
// scanning every slot and every entry of the tables.
struct PlainConditions {
    std::vector<int> hits;
    std::set<std::pair<int, int>> slotMarks;  // (slot, condition)
};

PlainConditions plainCodeConditions(const TableSet& t, const ClaimState& s) {
    const CodeConditionTable& code = t.codeConditions;
    PlainConditions plain;
    plain.hits.assign(t.conditions.conditionCount, 0);
    for (int slot = 1; slot <= kLastSlot; ++slot) {
        const int16_t id = s.codeIds[slot];
        if (id == 0) continue;
        const bool diagnosis = slot <= kDiagnosisSlots;
        const int32_t begin = diagnosis ? code.diagnosisEntryBegin[id] : code.procedureEntryBegin[id];
        const int32_t end = diagnosis ? code.diagnosisEntryEnd[id] : code.procedureEntryEnd[id];
        for (int32_t k = begin; k < end; ++k) {
            if (code.entryValidFrom[k] > s.effectiveDateNumber || s.effectiveDateNumber > code.entryValidTo[k]) continue;
            const int c = code.entryCondition[k];
            if (t.conditions.firstSlot[c] > slot || slot > t.conditions.lastSlot[c]) continue;
            ++plain.hits[c];
            if (!diagnosis && slot <= kLastMarkedProcedureSlot) plain.slotMarks.insert({slot, c});
        }
    }
    return plain;
}

const std::vector<std::string> kDiagnoses = {"A00", "A01", "B20.1", "C34", "D50", "F32", "I10", "N39", "O80", "Z38"};
const std::vector<std::string> kProcedures = {"1-100", "5-010", "5-820", "8-831", "9-200"};

TableBuilder randomRelease(std::mt19937& rng) {
    TableBuilder b;
    for (int c : {100, 200, 300, 357, 373, 388, 743, 745})
        if (rng() % 3 == 0) b.conditionSlots(c, 1 + static_cast<int>(rng() % 12), static_cast<int>(rng() % 47));
    b.conditionSlots(373, 1, 1);
    b.conditionSlots(388, 1, 1);
    auto dated = [&]() -> Dated {
        switch (rng() % 4) {
        case 0: return {20100101, 20111231};
        case 1: return {20120615, 20120615};  // one day
        default: return {};
        }
    };
    const int conditions[] = {100, 200, 300, 357, 373, 388, 743, 745, 850};
    // Some codes have no entries; some carry the same entries as the code
    // before them, which the release holds once.
    std::vector<std::pair<int, Dated>> entries;
    auto nextEntries = [&] {
        if (rng() % 3 != 0) {
            entries.clear();
            for (unsigned n = rng() % 4; n > 0; --n) entries.push_back({conditions[rng() % std::size(conditions)], dated()});
        }
        return entries;
    };
    for (const auto& code : kDiagnoses)
        for (const auto& [c, when] : nextEntries()) b.diagnosisCondition(code, c, when);
    entries.clear();
    for (const auto& code : kProcedures)
        for (const auto& [c, when] : nextEntries()) b.procedureCondition(code, c, when);
    b.diagnosis("Q99");  // listed, raising nothing
    return b;
}

std::string randomRecord(std::mt19937& rng) {
    RecordBuilder r;
    r.date(rng() % 2 ? "20120615" : "20110303").sex(static_cast<char>('1' + rng() % 4));
    for (int slot = 1; slot <= kLastSlot; ++slot) {
        if (rng() % 3) continue;  // blank slots anywhere, the last ones included
        r.slot(slot, slot <= kDiagnosisSlots ? kDiagnoses[rng() % kDiagnoses.size()]
                                             : kProcedures[rng() % kProcedures.size()]);
    }
    return r.text();
}

// Each entry an observer hears of, checked against the table: it must be
// an entry of the slot's code, for the condition raised.
struct EntryCheck : GroupingObserver {
    const TableSet* tables = nullptr;
    const ClaimState* state = nullptr;
    int heard = 0;
    void codeConditionRaised(int slot, int32_t entry, int condition) override {
        const CodeConditionTable& code = tables->codeConditions;
        const int16_t id = state->codeIds[slot];
        const bool diagnosis = slot <= kDiagnosisSlots;
        EXPECT_GE(entry, diagnosis ? code.diagnosisEntryBegin[id] : code.procedureEntryBegin[id]);
        EXPECT_LT(entry, diagnosis ? code.diagnosisEntryEnd[id] : code.procedureEntryEnd[id]);
        EXPECT_EQ(code.entryCondition[static_cast<size_t>(entry)], condition);
        ++heard;
    }
};

TEST(CodeConditionAids, RaiseWhatThePlainScanRaises) {
    std::mt19937 rng(41);
    int heard = 0;
    for (int round = 0; round < 40; ++round) {
        LoadedRelease release{randomRelease(rng)};
        EntryCheck check;
        check.tables = &release.tables;
        check.state = &release.state;
        release.state.observer = &check;
        for (int record = 0; record < 50; ++record) {
            std::string line = randomRecord(rng);
            ASSERT_EQ(release.prepare(line), kPrepareOk);
            const ClaimState& s = release.state;
            // Blank slots hold id 0, whatever the record before held.
            for (int slot = 1; slot <= kLastSlot; ++slot) {
                const RecordField field = codeSlotField(slot);
                if (line.compare(static_cast<size_t>(field.offset), static_cast<size_t>(field.width),
                                 std::string(static_cast<size_t>(field.width), ' ')) == 0) {
                    ASSERT_EQ(s.codeIds[slot], 0) << "slot " << slot;
                }
            }
            const PlainConditions plain = plainCodeConditions(release.tables, s);
            for (int c = 1; c < release.tables.conditions.conditionCount; ++c) {
                if (isDerivedCondition(c)) continue;
                ASSERT_EQ(s.conditions.hits(c), plain.hits[c]) << "round " << round << " condition " << c;
                ASSERT_EQ(s.conditions.flag[c], plain.hits[c] > 0) << "round " << round << " condition " << c;
            }
            for (int slot = kFirstProcedureSlot; slot <= kLastMarkedProcedureSlot; ++slot)
                for (int c : kSlotMarkedConditions)
                    ASSERT_EQ(s.conditions.slotCondition(slot, c), plain.slotMarks.count({slot, c}))
                        << "slot " << slot << " condition " << c;

            // The sex rule, once with every secondary at a level.
            ClaimState cleared = s;
            for (int slot = 2; slot <= kDiagnosisSlots; ++slot) cleared.cclBySlot[slot] = 2;
            clearSexSpecificLevels(cleared, release.tables);
            const int cancelling = s.sexDigit % 2 != 0 ? 373 : 388;
            for (int slot = 2; slot <= kDiagnosisSlots; ++slot) {
                const int16_t id = s.codeIds[slot];
                bool expectCleared = false;
                const auto& code = release.tables.codeConditions;
                for (int32_t k = id ? code.diagnosisEntryBegin[id] : 0; id && k < code.diagnosisEntryEnd[id]; ++k)
                    expectCleared = expectCleared ||
                                    (code.entryCondition[k] == cancelling && code.entryValidFrom[k] <= s.effectiveDateNumber &&
                                     s.effectiveDateNumber <= code.entryValidTo[k]);
                ASSERT_EQ(cleared.cclBySlot[slot], expectCleared ? 0 : 2) << "slot " << slot;
            }
        }
        heard += check.heard;
    }
    EXPECT_GT(heard, 0);
}

// A slot counts as coded when any one of its bytes is not a blank, wherever
// that byte stands: the first or last of its slot, either side of the border
// between diagnoses and procedures.
TEST(CodeConditionAids, CodedSlotsAreThoseWithAnyByteNotBlank) {
    std::mt19937 rng(7);
    LoadedRelease release{randomRelease(rng)};
    for (int record = 0; record < 2000; ++record) {
        std::string line = RecordBuilder().date("20120615").text();
        std::vector<int> want;
        for (int slot = 1; slot <= kLastSlot; ++slot) {
            if (rng() % 4) continue;
            const RecordField field = codeSlotField(slot);
            line[static_cast<size_t>(field.offset + static_cast<int>(rng() % static_cast<unsigned>(field.width)))] =
                static_cast<char>('!' + rng() % 90);
            want.push_back(slot);
        }
        ASSERT_EQ(release.prepare(line), kPrepareOk);
        const ClaimState& s = release.state;
        const std::vector<int> got(s.codedSlots.begin(), s.codedSlots.begin() + s.codedSlotCount);
        ASSERT_EQ(got, want) << "record " << record;
    }
}

TEST(CodeConditionAids, VersionsChosenByNumberAsByText) {
    std::mt19937 rng(43);
    const char alphabet[] = {'\0', ' ', '0', '1', '2', '5', '9', 'A', '\x7f', '\x80', '\xff'};
    for (int round = 0; round < 20000; ++round) {
        char date[8];
        std::string near = kDecisionCutDates[rng() % kDecisionCutDates.size()];
        for (int i = 0; i < 8; ++i) date[i] = rng() % 3 ? near[static_cast<size_t>(i)] : alphabet[rng() % sizeof alphabet];
        ASSERT_EQ(decisionTableVersion(date), versionForDate(date, kDecisionCutDates));
        ASSERT_EQ(levelTableVersion(date), versionForDate(date, kLevelCutDates));
        ASSERT_EQ(exclusionTableVersion(date), versionForDate(date, kExclusionCutDates));
    }
}

TEST(CodeConditionAids, AVersionPeriodEndsTheDayBeforeTheNextCutDate) {
    EXPECT_EQ(versionPeriod(kDecisionCutDates, 0), "before 20050101");
    EXPECT_EQ(versionPeriod(kDecisionCutDates, 1), "20050101 to 20081231");
    EXPECT_EQ(versionPeriod(kDecisionCutDates, 2), "20090101 to 20090930");
    EXPECT_EQ(versionPeriod(kExclusionCutDates, 1), "20080101 to 20111031");
    EXPECT_EQ(versionPeriod(kLevelCutDates, 2), "from 20120701");
}

}  // namespace
}  // namespace drg::testing

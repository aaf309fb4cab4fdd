// ADRG refinement: the age-and-date rows of an ADRG choose one character, and
// the ADRG text plus that character is looked up in the refined code list.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "grouping/refinement.h"
#include "support/grouping_fixture.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"
#include "tables/table_lookups.h"

namespace drg::testing {
namespace {

// Condition 200 gives ADRG B010, 201 gives C020 (refined code missing from
// the list), 202 gives D030 (no refinement rows).
TableBuilder ageRelease() {
    TableBuilder b;
    b.mdc("PRE");
    const int m01 = b.mdc("M01");
    b.diagnosisCondition("B10", 200);
    b.diagnosisCondition("C20", 201);
    b.diagnosisCondition("D30", 202);
    b.decisionRow({.range = 1, .mustSet = {200}, .mdc = m01, .adrg = b.adrg("B010")});
    b.decisionRow({.range = 1, .mustSet = {201}, .mdc = m01, .adrg = b.adrg("C020")});
    b.decisionRow({.range = 1, .mustSet = {202}, .mdc = m01, .adrg = b.adrg("D030")});
    b.refinementRow("B010", 0, 17, 'A');
    b.refinementRow("B010", 18, 64, 'B', {20100101, 20101231});
    b.refinementRow("B010", 18, 64, 'C');
    b.refinementRow("B010", 65, 120, 'D');
    b.refinementRow("B010", -1, -1, 'N');
    b.refinementRow("C020", 0, 120, 'X');
    for (const char* code : {"B010A", "B010B", "B010C", "B010D", "B010N", "B0100", "D0300"}) b.drg(code);
    b.levelRow("L30", {{"C020", '3'}});
    return b;
}

struct AgeCase {
    const char* rule;
    const char* birthDate;
    char century;
    const char* date;
    const char* finalCode;
};

TEST(Refinement, FirstRowWhoseAgeAndDateFitGivesTheSuffix) {
    LoadedRelease release(ageRelease());
    const std::vector<AgeCase> cases = {
        {"age 0 is the lowest age of the first row", "100101", '3', "20100101", "B010A0"},
        {"age 17 is the highest age of the first row", "950615", '1', "20130614", "B010A0"},
        {"age 18 on the row's first day", "920101", '1', "20100101", "B010B0"},
        {"age 18 on the row's last day", "920101", '1', "20101231", "B010B0"},
        {"the day after the dated row: the undated one", "920101", '1', "20110101", "B010C0"},
        {"age 64 is the highest age of the dated row", "460101", '1', "20101231", "B010B0"},
        {"age 65 is the lowest age of the last age row", "450101", '1', "20100101", "B010D0"},
        {"age 121 fits no row: suffix 0", "890101", '9', "20100101", "B01000"},
        {"unknown age -1 fits only the row from -1", "001300", '1', "20100101", "B010N0"},
    };
    for (const auto& c : cases) {
        const RecordBuilder record =
            RecordBuilder().birthDate(c.birthDate).sex(c.century).date(c.date).diagnoses({"B10"});
        EXPECT_EQ(groupedColumns(release, record), std::string("M01B0100") + c.finalCode + "20130201") << c.rule;
    }
}

TEST(Refinement, AdrgWithoutRowsTakesSuffixZero) {
    LoadedRelease release(ageRelease());
    EXPECT_EQ(groupedColumns(release, RecordBuilder().birthDate("800101").sex('1').date("20120615").diagnoses({"D30"})),
              "M01D0300D0300020130201");
}

TEST(Refinement, RefinedCodeMissingFromTheListKeepsTheDefaultCodeButItsPccl) {
    LoadedRelease release(ageRelease());
    EXPECT_EQ(groupedColumns(release,
                             RecordBuilder().birthDate("800101").sex('1').date("20120615").diagnoses({"C20", "L30"})),
              "M01C0203000000" "20130201");
    EXPECT_EQ(release.state.refinedAdrgIndex, 0);
}

// The refined code list searched from entry 0, with texts the builder would
// not write: a repeated code, a copy of the placeholder, NUL characters.
class RefinedCodeSearch : public ::testing::Test {
protected:
    static TableBuilder release() {
        TableBuilder b;
        b.adrg("E050");
        b.adrg("    ");
        b.adrg("G070");
        b.adrg(std::string("F0\0X", 4));
        b.refinementRow("E050", 0, 120, 'A');
        b.refinementRow("    ", 0, 120, ' ');
        b.refinementRow("G070", 0, 120, '\0');
        b.refinementRow(std::string("F0\0X", 4), 0, 120, 'A');
        b.drg("E050B");
        b.drg("E050A");
        b.drg("     ");
        b.drg("G0700");
        b.drg(std::string("G070\0", 5));
        b.drg(std::string("F0\0ZZ", 5));
        return b;
    }

    void SetUp() override {
        // A second "E050A" behind the first.
        CodeTextTable& drgs = loaded.tables.refinedCodes;
        const std::string again = "E050A";
        drgs.text.bytes.insert(drgs.text.bytes.end(), again.begin(), again.end());
        ++drgs.count;
        // Anything the state derives from the tables must see the extra entry.
        prepareRelease(loaded.release);
        initClaimState(loaded.state, loaded.release);
    }

    int16_t refinedIndex(const std::string& adrgText) {
        ClaimState& s = loaded.state;
        s.adrgIndex = 0;
        for (uint16_t a = 1; a < loaded.tables.adrgCodes.count; ++a)
            if (std::string(loaded.tables.adrgCodes.text.at(a), 4) == adrgText) s.adrgIndex = static_cast<int16_t>(a);
        EXPECT_NE(s.adrgIndex, 0) << "no ADRG " << adrgText;
        s.ageYears = 40;
        s.effectiveDateNumber = 20120615;
        s.adrgSuffix = '0';
        s.refinedAdrgIndex = 0;
        refineAdrg(s, loaded.tables);
        return s.refinedAdrgIndex;
    }

    int16_t entryOf(const std::string& text) {
        const CodeTextTable& drgs = loaded.tables.refinedCodes;
        for (uint16_t j = 1; j < drgs.count; ++j)
            if (std::string(drgs.text.at(j), 5) == text) return static_cast<int16_t>(j);
        ADD_FAILURE() << "no refined code " << text;
        return -1;
    }

    LoadedRelease loaded{release()};
};

TEST_F(RefinedCodeSearch, RepeatedCodeGivesTheLowerEntry) {
    ASSERT_EQ(std::string(loaded.tables.refinedCodes.text.at(loaded.tables.refinedCodes.count - 1u), 5), "E050A");
    EXPECT_EQ(refinedIndex("E050"), entryOf("E050A"));
}

TEST_F(RefinedCodeSearch, KeyEqualToThePlaceholderIsNotFoundEvenWhenRepeatedLater) {
    ASSERT_GT(entryOf("     "), 0);
    EXPECT_EQ(refinedIndex("    "), 0);
}

TEST_F(RefinedCodeSearch, NulSuffixMatchesOnlyAnEntryEndingThere) {
    EXPECT_EQ(refinedIndex("G070"), entryOf(std::string("G070\0", 5)));
}

TEST_F(RefinedCodeSearch, NulInTheAdrgTextEndsTheComparison) {
    // "F0" then NUL: the key ends where the entry "F0", NUL, "ZZ" ends too.
    EXPECT_EQ(refinedIndex(std::string("F0\0X", 4)), entryOf(std::string("F0\0ZZ", 5)));
}

// The packed rows answer as the table rows do: suffix, refined entry and the
// row the observer hears of, on random tables whose texts share prefixes and
// NULs, whose ranges are empty, overlap or stop before the last ADRG.
struct RefinementHeard : GroupingObserver {
    int row = -2, entry = -2;
    void refinementDone(int fitting, int refined) override { row = fitting, entry = refined; }
};

TEST(Refinement, PackedRowsAnswerAsTheTableRows) {
    std::mt19937 rng(7);
    const auto text = [&](int width) {
        static const char letters[] = {'\0', 'A', 'B', '0', 'Z'};
        std::string t;
        for (int i = 0; i < width; ++i) t += letters[rng() % sizeof letters];
        return t;
    };
    const std::vector<int16_t> ages = {-1, 0, 1, 17, 18, 64, 65, 120};
    const std::vector<int32_t> dates = {20091231, 20100101, 20100615, 20101231, 20120101};
    int packedRounds = 0;
    for (int round = 0; round < 150; ++round) {
        TableSet tables;
        const int adrgs = 1 + static_cast<int>(rng() % 8), rows = static_cast<int>(rng() % 12);
        tables.adrgCodes.count = static_cast<uint16_t>(adrgs);
        for (int a = 0; a < adrgs; ++a) for (char c : text(4)) tables.adrgCodes.text.bytes.push_back(c);
        const int refined = 1 + static_cast<int>(rng() % 20);
        tables.refinedCodes.count = static_cast<uint16_t>(refined);
        for (int j = 0; j < refined; ++j) {
            // Mostly an ADRG's text with a suffix, so that lookups hit.
            std::string t = rng() % 4 ? std::string(tables.adrgCodes.text.at(static_cast<uint32_t>(rng() % static_cast<uint32_t>(adrgs))), 4) + text(1) : text(5);
            for (char c : t) tables.refinedCodes.text.bytes.push_back(c);
        }
        RefinementTable& r = tables.refinement;
        r.adrgCount = static_cast<uint16_t>(rng() % (adrgs + 1));
        r.rowCount = static_cast<uint16_t>(rows);
        for (int a = 0; a < r.adrgCount; ++a) {
            const int begin = rows ? static_cast<int>(rng() % rows) : 0;
            r.refinementBegin.push_back(static_cast<int16_t>(begin));
            r.refinementEnd.push_back(static_cast<int16_t>(begin + (rows ? rng() % (rows - begin + 1) : 0)));
        }
        for (int i = 0; i < rows; ++i) {
            const int16_t low = ages[rng() % ages.size()];
            r.refinementMinAge.push_back(low);
            r.refinementMaxAge.push_back(static_cast<int16_t>(low + rng() % 60));
            r.refinementValidFrom.push_back(rng() % 2 ? 0 : dates[rng() % dates.size()]);
            r.refinementValidTo.push_back(rng() % 2 ? 99999999 : dates[rng() % dates.size()]);
            r.refinementSuffix.push_back(text(1)[0]);
        }
        const TableLookups packed = buildTableLookups(tables);
        TableLookups plain = packed;
        plain.refinements.usable = false;
        packedRounds += packed.refinements.usable;
        for (int a = 0; a < adrgs; ++a)
            for (int16_t age : ages)
                for (int32_t date : dates) {
                    ClaimState one, other;
                    RefinementHeard heardOne, heardOther;
                    using Side = std::tuple<ClaimState*, const TableLookups*, RefinementHeard*>;
                    for (auto [state, lookups, heard] : {Side{&one, &packed, &heardOne}, Side{&other, &plain, &heardOther}}) {
                        state->lookups = lookups;
                        state->observer = heard;
                        state->adrgIndex = static_cast<int16_t>(a);
                        state->ageYears = age;
                        state->effectiveDateNumber = date;
                        refineAdrg(*state, tables);
                    }
                    ASSERT_EQ(one.adrgSuffix, other.adrgSuffix) << "round " << round << " ADRG " << a;
                    ASSERT_EQ(one.refinedAdrgIndex, other.refinedAdrgIndex) << "round " << round << " ADRG " << a;
                    ASSERT_EQ(heardOne.row, heardOther.row) << "round " << round << " ADRG " << a;
                    ASSERT_EQ(heardOne.entry, heardOther.entry) << "round " << round << " ADRG " << a;
                }
    }
    EXPECT_GT(packedRounds, 100);  // the packed rows were built and so compared
}

}  // namespace
}  // namespace drg::testing

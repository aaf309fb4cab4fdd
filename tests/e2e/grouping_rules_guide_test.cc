// The worked tables of docs/grouping-rules.md, grouped as the records they
// describe: the century-and-sex digit and the PCCL from the levels. The rows
// here are the rows of the guide; a change to one belongs in both.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/grouping_fixture.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

constexpr int kPrincipalCondition = 200;
constexpr int kOddSexDigit = 819;

struct CenturyRow {
    char digit;
    const char* born;       // YYMMDD
    const char* effective;  // YYYYMMDD
    int bornIn;
    int age;
    bool male;
};

const std::vector<CenturyRow> kCenturyRows = {
    {'0', "050615", "20120615", 1805, 207, false},
    {'9', "050615", "20120615", 1805, 207, true},
    {'1', "050615", "20120615", 1905, 107, true},
    {'2', "050615", "20120615", 1905, 107, false},
    {'3', "050615", "20120615", 2005, 7, true},
    {'4', "050615", "20120615", 2005, 7, false},
    {'5', "050615", "20120615", 2005, 7, true},
    {'6', "120615", "20120615", 2012, 0, false},
    {'7', "130615", "20120615", 1913, 99, true},
    {'8', "500000", "20120615", 1950, 62, false},
    {'5', "050615", "19990615", 1905, 94, true},
    {' ', "050615", "20120615", 1905, 107, false},
};

// Men get ADRG M010 through the derived odd-digit condition, women W010. Each
// age of the table has a refinement row of its own, so the refined code
// shows the exact age: a wrong century fits no row and leaves no DRG.
struct CenturyRelease {
    TableBuilder builder;
    std::map<int, char> suffixOfAge;

    CenturyRelease() {
        const int mdc = builder.mdc("01 ");
        builder.diagnosisCondition("A00", kPrincipalCondition);
        builder.decisionRow({.mustSet = {kPrincipalCondition, kOddSexDigit}, .mdc = mdc, .adrg = builder.adrg("M010")});
        builder.decisionRow({.mustSet = {kPrincipalCondition}, .mdc = mdc, .adrg = builder.adrg("W010")});
        for (const auto& row : kCenturyRows) suffixOfAge.emplace(row.age, static_cast<char>('A' + suffixOfAge.size()));
        for (const auto& [age, suffix] : suffixOfAge) {
            for (const char* adrg : {"M010", "W010"}) {
                builder.refinementRow(adrg, age, age, suffix);
                builder.drg(std::string(adrg) + suffix);
            }
        }
    }
};

TEST(GroupingRulesGuide, CenturyAndSexDigit) {
    CenturyRelease release;
    LoadedRelease loaded(release.builder);
    for (const auto& row : kCenturyRows) {
        const std::string label = std::string("digit '") + row.digit + "', born " + row.born + ", on " + row.effective;
        // The guide's own arithmetic: the age follows from the birth year.
        const std::string effective = row.effective;
        const bool birthdayToCome = effective.substr(4, 4) < std::string(row.born).substr(2, 4);
        EXPECT_EQ(std::stoi(effective.substr(0, 4)) - row.bornIn - (birthdayToCome ? 1 : 0), row.age) << label;

        const RecordBuilder record =
            RecordBuilder().birthDate(row.born).sex(row.digit).date(row.effective).diagnoses({"A00"});
        const std::string adrg = row.male ? "M010" : "W010";
        const std::string expected = "01 " + adrg + "0" + adrg + release.suffixOfAge.at(row.age) + "0" + "20130201";
        EXPECT_EQ(groupedColumns(loaded, record), expected) << label;
    }
}

struct PcclRow {
    std::vector<int> levels;
    int pccl;
};

const std::vector<PcclRow> kPcclRows = {
    {{}, 0},
    {{1}, 1},
    {{2}, 2},
    {{3}, 3},
    {{4}, 3},
    {{1, 1}, 2},
    {{2, 1}, 3},
    {{2, 2}, 3},
    {{3, 2}, 3},
    {{3, 3}, 4},
    {{4, 1}, 3},
    {{4, 2}, 4},
    {{4, 3}, 4},
    {{4, 4}, 4},
    {{1, 1, 1, 1}, 2},
    {{1, 1, 1, 1, 1}, 3},
    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 3},
    {{4, 4, 4, 4, 4, 4, 4, 4, 4}, 4},
};

// Secondary diagnosis k (1..9) at level L is "L<L>.<k>". The split profile
// "01234" repeats the PCCL as the last character of the DRG.
TableBuilder pcclRelease() {
    TableBuilder b;
    const int mdc = b.mdc("04 ");
    b.diagnosisCondition("J44.1", kPrincipalCondition);
    b.decisionRow({.mustSet = {kPrincipalCondition}, .mdc = mdc, .adrg = b.adrg("E650")});
    b.refinementRow("E650", 0, 150, 'C');
    b.drg("E650C");
    b.splitRow("E650C", "01234");
    for (int level = 1; level <= 4; ++level)
        for (int k = 1; k <= 9; ++k)
            b.levelRow("L" + std::to_string(level) + "." + std::to_string(k),
                       {{"E650", static_cast<char>('0' + level)}});
    return b;
}

TEST(GroupingRulesGuide, PcclFromTheLevels) {
    LoadedRelease loaded(pcclRelease());
    for (const auto& row : kPcclRows) {
        std::vector<std::string> diagnoses = {"J44.1"};
        std::map<int, int> usedOfLevel;
        std::string label = "levels";
        for (int level : row.levels) {
            diagnoses.push_back("L" + std::to_string(level) + "." + std::to_string(++usedOfLevel[level]));
            label += " " + std::to_string(level);
        }
        const RecordBuilder record = RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses(diagnoses);
        const std::string pccl = std::to_string(row.pccl);
        EXPECT_EQ(groupedColumns(loaded, record), "04 E650" + pccl + "E650C" + pccl + "20130201") << label;
    }
}

}  // namespace
}  // namespace drg::testing

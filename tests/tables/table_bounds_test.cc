// Table values that point outside their own arrays are refused at load with
// the init error; empty ranges, unreachable rows and the coverage that is
// tolerated at lookup time load.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tables/loader_release.h"
#include "tables/table_bounds.h"

namespace drg::testing {
namespace {

struct BoundsCase {
    std::string name;
    std::function<void(TableSet&)> change;
    std::string file;   // named at the start of the problem line
    std::string field;  // named in the problem line
};

// Row of range 1 of a decision table that the release puts there.
int firstRow(const DecisionTable& t, int range) { return t.rowBegin[range]; }

// One more row that no range holds, with the given values.
void addUnreachableDecisionRow(DecisionTable& t, int16_t condition, int16_t mdc, int16_t adrg) {
    t.rowCount = static_cast<uint16_t>(t.rowCount + 1);
    t.rowValidFrom.push_back(0);
    t.rowValidTo.push_back(99991231);
    for (int k = 0; k < kRowConditionColumns; ++k) t.rowConditions.push_back(condition);
    t.rowMdc.push_back(mdc);
    t.rowAdrg.push_back(adrg);
}

std::vector<BoundsCase> refusedCases() {
    std::vector<BoundsCase> cases = {
        {"Tdx.idx id equal to the count", [](TableSet& t) { t.diagnosisIndex.id[1] = static_cast<int16_t>(t.diagnosisIndex.count); },
         "Tdx.idx", "id"},
        {"Tdx.idx id negative", [](TableSet& t) { t.diagnosisIndex.id.back() = -1; }, "Tdx.idx", "id"},
        {"Tsg.idx id equal to the count", [](TableSet& t) { t.procedureIndex.id[2] = static_cast<int16_t>(t.procedureIndex.count); },
         "Tsg.idx", "id"},
        {"Tsg.idx id negative", [](TableSet& t) { t.procedureIndex.id[1] = -32768; }, "Tsg.idx", "id"},

        {"Tdag_ast range ends beyond the pairs",
         [](TableSet& t) {
             auto& x = t.daggerAsterisk;
             x.pairBegin[1] = 0;
             x.pairEnd[1] = x.pairCount + 1;
         },
         "Tdag_ast", "pairBegin/pairEnd"},
        {"Tdag_ast range begins below 0",
         [](TableSet& t) {
             t.daggerAsterisk.pairBegin[2] = -1;
             t.daggerAsterisk.pairEnd[2] = 1;
         },
         "Tdag_ast", "pairBegin/pairEnd"},

        {"Tcode diagnosis range ends beyond the entries",
         [](TableSet& t) {
             auto& x = t.codeConditions;
             x.diagnosisEntryBegin[1] = 0;
             x.diagnosisEntryEnd[1] = x.entryCount + 1;
         },
         "Tcode", "diagnosisEntryBegin/diagnosisEntryEnd"},
        {"Tcode procedure range begins below 0",
         [](TableSet& t) {
             t.codeConditions.procedureEntryBegin[1] = -5;
             t.codeConditions.procedureEntryEnd[1] = 1;
         },
         "Tcode", "procedureEntryBegin/procedureEntryEnd"},
        {"Tcode procedure range ends beyond the entries",
         [](TableSet& t) {
             auto& x = t.codeConditions;
             x.procedureEntryEnd.back() = x.entryCount + 100000;
         },
         "Tcode", "procedureEntryBegin/procedureEntryEnd"},
        {"Tcode condition equal to N",
         [](TableSet& t) { t.codeConditions.entryCondition[0] = static_cast<int16_t>(t.conditions.conditionCount); },
         "Tcode", "entryCondition"},
        {"Tcode condition negative", [](TableSet& t) { t.codeConditions.entryCondition.back() = -1; }, "Tcode",
         "entryCondition"},

        {"Taadrg range ends beyond the rows",
         [](TableSet& t) { t.refinement.refinementEnd[1] = static_cast<int16_t>(t.refinement.rowCount + 1); },
         "Taadrg", "refinementBegin/refinementEnd"},
        {"Taadrg range begins below 0", [](TableSet& t) { t.refinement.refinementBegin[2] = -1; }, "Taadrg",
         "refinementBegin/refinementEnd"},

        {"Tpccl range ends beyond the rows",
         [](TableSet& t) { t.splits.splitRowEnd.back() = static_cast<int16_t>(t.splits.splitRowCount + 1); },
         "Tpccl", "splitRowBegin/splitRowEnd"},
        {"Tpccl profile equal to the profile count",
         [](TableSet& t) { t.splits.splitProfile[0] = static_cast<int16_t>(t.splits.splitProfileCount); }, "Tpccl",
         "splitProfile"},
        {"Tpccl profile negative", [](TableSet& t) { t.splits.splitProfile[1] = -1; }, "Tpccl", "splitProfile"},
    };

    for (int v = 0; v < kDecisionVersions; ++v) {
        const std::string file = kTableFileNames[kFileAdrg0 + v];
        auto name = [file](const char* what) { return file + " " + what; };
        const std::string& f = file;
        cases.push_back({name("range ends beyond the rows"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowEnd[2] = static_cast<int16_t>(x.rowCount + 1);
                         },
                         f, "rowBegin/rowEnd"});
        cases.push_back({name("range begins below 0"),
                         [v](TableSet& t) { t.decisionTables[v].rowBegin[1] = -1; }, f, "rowBegin/rowEnd"});
        cases.push_back({name("condition above N"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowConditions[static_cast<size_t>(firstRow(x, 2)) * 20 + 3] =
                                 static_cast<int16_t>(t.conditions.conditionCount + 1);
                         },
                         f, "rowConditions"});
        cases.push_back({name("condition negative in the must-be-clear half"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowConditions[static_cast<size_t>(firstRow(x, 1)) * 20 + 19] = -1;
                         },
                         f, "rowConditions"});
        cases.push_back({name("ADRG equal to the Tadrg.idx count"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowAdrg[static_cast<size_t>(firstRow(x, 2))] = static_cast<int16_t>(t.adrgCodes.count);
                         },
                         f, "rowAdrg"});
        cases.push_back({name("ADRG negative in range 1"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowAdrg[static_cast<size_t>(firstRow(x, 1))] = -1;
                         },
                         f, "rowAdrg"});
        cases.push_back({name("MDC of a range-1 row equal to the Tmdc.idx count"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowMdc[static_cast<size_t>(firstRow(x, 1)) + 1] = static_cast<int16_t>(t.mdcCodes.count);
                         },
                         f, "rowMdc"});
        cases.push_back({name("MDC of a range-1 row negative"),
                         [v](TableSet& t) {
                             auto& x = t.decisionTables[v];
                             x.rowMdc[static_cast<size_t>(firstRow(x, 1))] = -1;
                         },
                         f, "rowMdc"});
    }
    for (int v = 0; v < kLevelVersions; ++v) {
        const std::string file = kTableFileNames[kFileCcl0 + v];
        const std::string& f = file;
        cases.push_back({file + " range ends beyond the rows",
                         [v](TableSet& t) {
                             auto& x = t.levelTables[v];
                             x.cclRowBegin[0] = 0;
                             x.cclRowEnd[0] = static_cast<int16_t>(x.cclRowCount + 1);
                         },
                         f, "cclRowBegin/cclRowEnd"});
        cases.push_back({file + " profile equal to the profile count",
                         [v](TableSet& t) {
                             auto& x = t.levelTables[v];
                             x.cclProfile.back() = static_cast<int16_t>(x.cclProfileCount);
                         },
                         f, "cclProfile"});
    }
    for (int v = 0; v < kExclusionVersions; ++v) {
        const std::string file = kTableFileNames[kFileCcedit0 + v];
        cases.push_back({file + " list range ends beyond the list",
                         [v](TableSet& t) {
                             auto& x = t.exclusionTables[v];
                             x.exclusionBegin[1] = 0;
                             x.exclusionEnd[1] = x.exclusionListCount + 1;
                         },
                         file, "exclusionBegin/exclusionEnd"});
        cases.push_back({file + " list range begins below 0",
                         [v](TableSet& t) {
                             auto& x = t.exclusionTables[v];
                             x.exclusionBegin[2] = -1;
                             x.exclusionEnd[2] = 0;
                         },
                         file, "exclusionBegin/exclusionEnd"});
    }
    return cases;
}

TEST(TableBounds, ValuesOutsideTheirArraysAreRefusedAtLoad) {
    for (const BoundsCase& c : refusedCases()) {
        const LoadOutcome o = loadChanged(c.change);
        EXPECT_EQ(o.result, kLoadInitError) << c.name;
        EXPECT_EQ(o.problem.rfind(c.file + ":", 0), 0u) << c.name << ": " << o.problem;
        EXPECT_NE(o.problem.find(c.field), std::string::npos) << c.name << ": " << o.problem;
        EXPECT_EQ(o.problem.find('\n'), std::string::npos) << "one line";
    }
}

TEST(TableBounds, TheUnchangedReleaseLoads) { EXPECT_EQ(loadChanged([](TableSet&) {}).result, kLoadOk); }

TEST(TableBounds, ValuesThatGroupingCannotReachAreNotJudged) {
    const std::vector<std::pair<const char*, std::function<void(TableSet&)>>> cases = {
        {"empty ranges with any begin and end",
         [](TableSet& t) {
             t.daggerAsterisk.pairBegin[3] = 1000000;
             t.daggerAsterisk.pairEnd[3] = -7;
             t.codeConditions.diagnosisEntryBegin[4] = 99999;
             t.codeConditions.diagnosisEntryEnd[4] = 99999;
             t.codeConditions.procedureEntryBegin[0] = -2000000000;
             t.codeConditions.procedureEntryEnd[0] = -2000000000;
             for (auto& x : t.decisionTables) {
                 x.rowBegin[0] = 32767;
                 x.rowEnd[0] = -32768;
             }
             t.refinement.refinementBegin[0] = -1;
             t.refinement.refinementEnd[0] = -1;
             for (auto& x : t.levelTables) {
                 x.cclRowBegin[0] = 500;
                 x.cclRowEnd[0] = 400;
             }
             t.splits.splitRowBegin[0] = 9999;
             t.splits.splitRowEnd[0] = 0;
             for (auto& x : t.exclusionTables) {
                 x.exclusionBegin[0] = 77;
                 x.exclusionEnd[0] = 77;
             }
         }},
        {"code index ids at the placeholder position",
         [](TableSet& t) {
             t.diagnosisIndex.id[0] = -5;
             t.procedureIndex.id[0] = 30000;
         }},
        {"decision rows that no range holds",
         [](TableSet& t) {
             for (auto& x : t.decisionTables) addUnreachableDecisionRow(x, -9, 999, 999);
         }},
        {"Tcode entries that no range holds",
         [](TableSet& t) {
             auto& x = t.codeConditions;
             x.entryCount += 1;
             x.entryTag.push_back('E');
             x.entryValidFrom.push_back(0);
             x.entryValidTo.push_back(99991231);
             x.entryCondition.push_back(30000);
         }},
        {"rowMdc outside range 1 is read by no pass",
         [](TableSet& t) {
             for (auto& x : t.decisionTables) x.rowMdc[static_cast<size_t>(firstRow(x, 2))] = 999;
         }},
        {"conditions 0 and N are the empty places of a decision row",
         [](TableSet& t) {
             for (auto& x : t.decisionTables) {
                 int16_t* row = x.rowConditions.data() + static_cast<size_t>(firstRow(x, 1)) * 20;
                 row[9] = 0;
                 row[8] = static_cast<int16_t>(t.conditions.conditionCount);
                 row[10] = static_cast<int16_t>(t.conditions.conditionCount);
             }
         }},
        {"the highest and lowest values that are in bounds",
         [](TableSet& t) {
             t.codeConditions.entryCondition[0] = static_cast<int16_t>(t.conditions.conditionCount - 1);
             t.codeConditions.entryCondition[1] = 0;
             for (auto& x : t.decisionTables) {
                 x.rowAdrg[static_cast<size_t>(firstRow(x, 1))] = static_cast<int16_t>(t.adrgCodes.count - 1);
                 x.rowMdc[static_cast<size_t>(firstRow(x, 1))] = static_cast<int16_t>(t.mdcCodes.count - 1);
             }
             t.diagnosisIndex.id[1] = static_cast<int16_t>(t.diagnosisIndex.count - 1);
             t.procedureIndex.id[1] = 0;  // a code that maps to "unknown"
         }},
        {"a range that exactly fills its rows",
         [](TableSet& t) {
             auto& x = t.codeConditions;
             x.diagnosisEntryBegin[1] = 0;
             x.diagnosisEntryEnd[1] = x.entryCount;
             t.exclusionTables[1].exclusionBegin[3] = 0;
             t.exclusionTables[1].exclusionEnd[3] = t.exclusionTables[1].exclusionListCount;
         }},
        {"Tadrg with fewer ranges than Tmdc.idx, so no range 1",
         [](TableSet& t) { t.decisionTables[0].entryCount = 1; }},
        {"Tccl and Tccl1 with fewer diagnoses and columns than their indices",
         [](TableSet& t) {
             for (int v : {0, 1}) {
                 t.levelTables[v].cclDiagnosisCount = 2;
                 t.levelTables[v].cclColumnCount = 1;
             }
         }},
    };
    for (const auto& [name, change] : cases) {
        const LoadOutcome o = loadChanged(change);
        EXPECT_EQ(o.result, kLoadOk) << name << ": " << o.problem;
    }
}

TEST(TableBounds, CheckingAFileThatLoadedIsSilent) {
    const TableSet t = loaderRelease().build();
    for (int file = 0; file < kTableFileCount; ++file) {
        std::string problem = "untouched";
        EXPECT_TRUE(tableFileWithinBounds(t, file, &problem)) << kTableFileNames[file] << ": " << problem;
    }
    EXPECT_TRUE(tableFileWithinBounds(t, kFileCode, nullptr));
}

}  // namespace
}  // namespace drg::testing
